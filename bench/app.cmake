# The summon latency of the panel (needs the application's controller).
quorvel_add_benchmark(SummonBench PanelSetUp.cpp)
# The keystroke latency of the real panel, offscreen.
quorvel_add_benchmark(PanelBench PanelSetUp.cpp)
target_link_libraries(PanelBench PRIVATE Qt6::Test)
set_property(TARGET PanelBench PROPERTY AUTOUIC_SEARCH_PATHS ${CMAKE_SOURCE_DIR}/src/app)
add_dependencies(PanelBench quorvel_bundle_resources)
