# Start-up: time until the main window is mapped on a private X server and the
# peak resident memory, for Nudger and for a bare Qt editor window.
qt_add_executable(bare_window bare_window.cpp)
target_link_libraries(bare_window PRIVATE Qt6::Widgets)

find_path(NUDGER_XCB_INCLUDE_DIR xcb/xcb.h)
find_library(NUDGER_XCB_LIBRARY xcb)
if(NUDGER_XCB_INCLUDE_DIR AND NUDGER_XCB_LIBRARY)
    nudger_add_benchmark(bench_startup bench_startup.cpp)
    target_include_directories(bench_startup PRIVATE ${NUDGER_XCB_INCLUDE_DIR})
    target_link_libraries(bench_startup PRIVATE ${NUDGER_XCB_LIBRARY})
    set(config_tool "")
    if(TARGET nudger_config)
        set(config_tool $<TARGET_FILE:nudger_config>)
        add_dependencies(bench_startup nudger_config)
    endif()
    target_compile_definitions(bench_startup PRIVATE
        NUDGER_PROGRAM="$<TARGET_FILE:Nudger>"
        BARE_WINDOW_PROGRAM="$<TARGET_FILE:bare_window>"
        NUDGER_CONFIG_PROGRAM="${config_tool}"
        NUDGER_SOURCE_TREE="${PROJECT_SOURCE_DIR}")
    add_dependencies(bench_startup Nudger bare_window)
else()
    message(STATUS "libxcb headers not found: the start-up benchmark is not built")
endif()
