# Benchmarks of the disk scanner (it reads the shipped list defaults from the built bundle).
quorvel_add_benchmark(ScanBench SyntheticTree.cpp ScanSetUp.cpp)
add_dependencies(ScanBench quorvel_bundle_resources)
# Live index updates: one watched change with a 100,000-item index, the watcher with 10,000 folders.
quorvel_add_benchmark(WatchBench SyntheticTree.cpp ScanSetUp.cpp)
add_dependencies(WatchBench quorvel_bundle_resources)
# A folder of 5,000 to 50,000 desktop entries.
quorvel_add_benchmark(DesktopEntryBench ScanSetUp.cpp)
add_dependencies(DesktopEntryBench quorvel_bundle_resources)
