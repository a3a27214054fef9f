# Benchmarks of storage/.

# The scrambling code and the benchmark's own baseline are compiled with the
# same optimisation, so that a Debug tree still measures them as they ship
# and the ratio compares like with like.
nudger_add_benchmark(bench_scramble bench_scramble.cpp
    ${PROJECT_SOURCE_DIR}/storage/TovrinDataEncode_Unit.cpp
    ${PROJECT_SOURCE_DIR}/app/PlatformDependence_Unit.cpp)
set_source_files_properties(
    bench_scramble.cpp
    ${PROJECT_SOURCE_DIR}/storage/TovrinDataEncode_Unit.cpp
    ${PROJECT_SOURCE_DIR}/app/PlatformDependence_Unit.cpp
    PROPERTIES COMPILE_OPTIONS "-O2")

# The comparison of versions, with the same optimisation as its baseline.
nudger_add_benchmark(bench_diff bench_diff.cpp ${PROJECT_SOURCE_DIR}/storage/TextDiff_Unit.cpp)
target_include_directories(bench_diff SYSTEM PRIVATE ${NUDGER_DTL_INCLUDE_DIR})
set_source_files_properties(
    bench_diff.cpp
    ${PROJECT_SOURCE_DIR}/storage/TextDiff_Unit.cpp
    PROPERTIES COMPILE_OPTIONS "-O2")

# The history's store over a month of writing: its size, the slowest
# version to read back, and a keep against a plain write.
nudger_add_benchmark(bench_store bench_store.cpp)
