list(APPEND NUDGER_PLATFORM_SOURCES
    app/PlatformDependence_Unit.h app/PlatformDependence_Unit.cpp
)
