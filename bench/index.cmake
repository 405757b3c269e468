# Benchmarks of the disk scanner (it reads the shipped list defaults from the built bundle).
quorvel_add_benchmark(ScanBench SyntheticTree.cpp)
add_dependencies(ScanBench quorvel_bundle_resources)
