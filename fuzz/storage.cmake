# Fuzzers of storage/.
nudger_add_fuzzer(fuzz_unscramble fuzz_unscramble.cpp)
nudger_add_fuzzer(fuzz_config_load fuzz_config_load.cpp)
