# Benchmarks of src/search: filtering and ranking, loading, memory of a loaded index.
quorvel_add_benchmark(SearchBench)
