# Start-up: time until the main window is mapped on a private X server and the
# peak resident memory at the first paint, for Nudger, for its window alone and
# for a bare Qt editor window.
qt_add_executable(bare_window bare_window.cpp)
target_link_libraries(bare_window PRIVATE Qt6::Widgets)
# Nudger's window alone: its own sources for the controls, so that nothing
# else of Nudger comes along.
qt_add_executable(spec_window spec_window.cpp
    ${PROJECT_SOURCE_DIR}/windows/MainControls_Unit.cpp
    ${PROJECT_SOURCE_DIR}/windows/CaptionButton_Unit.h
    ${PROJECT_SOURCE_DIR}/windows/CaptionButton_Unit.cpp
    ${PROJECT_SOURCE_DIR}/windows/TextLayout_Unit.cpp
    ${PROJECT_SOURCE_DIR}/windows/StartupStyle_Unit.cpp)
target_include_directories(spec_window PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(spec_window PRIVATE Qt6::Widgets)

find_path(NUDGER_XCB_INCLUDE_DIR xcb/xcb.h)
find_library(NUDGER_XCB_LIBRARY xcb)
# The first paint is seen through the X DAMAGE extension.
find_path(NUDGER_XCB_DAMAGE_INCLUDE_DIR xcb/damage.h)
find_library(NUDGER_XCB_DAMAGE_LIBRARY xcb-damage)
if(NUDGER_XCB_INCLUDE_DIR AND NUDGER_XCB_LIBRARY AND NUDGER_XCB_DAMAGE_INCLUDE_DIR
   AND NUDGER_XCB_DAMAGE_LIBRARY)
    nudger_add_benchmark(bench_startup bench_startup.cpp MemoryParts.h)
    target_include_directories(bench_startup PRIVATE ${NUDGER_XCB_INCLUDE_DIR})
    target_link_libraries(bench_startup PRIVATE ${NUDGER_XCB_LIBRARY} ${NUDGER_XCB_DAMAGE_LIBRARY})
    set(config_tool "")
    if(TARGET nudger_config)
        set(config_tool $<TARGET_FILE:nudger_config>)
        add_dependencies(bench_startup nudger_config)
    endif()
    target_compile_definitions(bench_startup PRIVATE
        NUDGER_PROGRAM="$<TARGET_FILE:Nudger>"
        BARE_WINDOW_PROGRAM="$<TARGET_FILE:bare_window>"
        SPEC_WINDOW_PROGRAM="$<TARGET_FILE:spec_window>"
        NUDGER_CONFIG_PROGRAM="${config_tool}"
        NUDGER_SOURCE_TREE="${PROJECT_SOURCE_DIR}")
    add_dependencies(bench_startup Nudger bare_window spec_window)
else()
    message(STATUS "libxcb or libxcb-damage headers not found: the start-up benchmark is not built")
endif()
