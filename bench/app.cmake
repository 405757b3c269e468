# The summon latency of the panel (needs the application's controller).
quorvel_add_benchmark(SummonBench)
