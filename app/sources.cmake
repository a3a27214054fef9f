list(APPEND NUDGER_LIB_SOURCES
    app/PlatformDependence_Unit.h app/PlatformDependence_Unit.cpp
)
