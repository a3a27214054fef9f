list(APPEND NUDGER_DESKTOP_SOURCES
    desktop/Attention_Unit.h desktop/Attention_Unit.cpp
    desktop/LogoutInhibitor_Unit.h desktop/LogoutInhibitor_Unit.cpp
)
