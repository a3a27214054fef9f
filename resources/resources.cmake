# Resources carried inside the program. Each entry is a path relative to
# this folder, or a file the build generates (full path).
set(NUDGER_RESOURCE_FILES
)
if(NUDGER_RESOURCE_FILES)
    qt_add_resources(nudger_lib "nudger_resources"
        PREFIX "/"
        BASE ${CMAKE_CURRENT_SOURCE_DIR}/resources
        FILES ${NUDGER_RESOURCE_FILES})
endif()
