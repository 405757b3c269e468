# Benchmarks of the platform layer.
quorvel_add_benchmark(PropertyListBench)
