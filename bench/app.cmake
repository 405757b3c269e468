# The summon latency of the panel (needs the application's controller).
if(QUORVEL_APP_READY)
  quorvel_add_benchmark(SummonBench)
endif()
