# The looping nudge sound must cost next to nothing while it plays.
nudger_add_benchmark(bench_sound_cpu bench_sound_cpu.cpp)
