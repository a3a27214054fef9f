# Benchmarks
