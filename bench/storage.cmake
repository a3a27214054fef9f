# Benchmarks of storage/.

# The scrambling code is compiled into the benchmark with optimisation, so
# that a Debug tree still measures it as it ships, against Qt's own
# (optimised) toHex.
nudger_add_benchmark(bench_scramble bench_scramble.cpp
    ${PROJECT_SOURCE_DIR}/storage/TovrinDataEncode_Unit.cpp
    ${PROJECT_SOURCE_DIR}/app/PlatformDependence_Unit.cpp)
set_source_files_properties(
    ${PROJECT_SOURCE_DIR}/storage/TovrinDataEncode_Unit.cpp
    ${PROJECT_SOURCE_DIR}/app/PlatformDependence_Unit.cpp
    PROPERTIES COMPILE_OPTIONS "-O2")
