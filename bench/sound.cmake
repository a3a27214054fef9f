# The looping nudge sound must cost next to nothing while it plays, and the
# first nudge must sound at once (the benchmark records the sink with parec).
nudger_add_benchmark(bench_sound_cpu bench_sound_cpu.cpp)

# The same target for the real program while it nudges with the sound looping,
# on an X server of its own, beside the program sitting idle.
if(NUDGER_XCB_INCLUDE_DIR AND NUDGER_XCB_LIBRARY AND TARGET nudger_config)
    nudger_add_benchmark(bench_nudge_cpu bench_nudge_cpu.cpp)
    target_include_directories(bench_nudge_cpu PRIVATE ${NUDGER_XCB_INCLUDE_DIR})
    target_link_libraries(bench_nudge_cpu PRIVATE ${NUDGER_XCB_LIBRARY})
    target_compile_definitions(bench_nudge_cpu PRIVATE
        NUDGER_PROGRAM="$<TARGET_FILE:Nudger>"
        NUDGER_CONFIG_PROGRAM="$<TARGET_FILE:nudger_config>"
        NUDGER_DATA_FILE="${CMAKE_BINARY_DIR}/nudger.dat"
        NUDGER_SOURCE_TREE="${PROJECT_SOURCE_DIR}")
    add_dependencies(bench_nudge_cpu Nudger nudger_config nudger_data)
else()
    message(STATUS "libxcb headers or nudger_config missing: the nudging CPU benchmark is not built")
endif()
