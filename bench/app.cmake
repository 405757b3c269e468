# The summon latency of the panel (needs the application's controller).
quorvel_add_benchmark(SummonBench PanelSetUp.cpp)
# The keystroke latency of the real panel, offscreen.
quorvel_add_benchmark(PanelBench PanelSetUp.cpp)
target_link_libraries(PanelBench PRIVATE Qt6::Test)
set_property(TARGET PanelBench PROPERTY AUTOUIC_SEARCH_PATHS ${CMAKE_SOURCE_DIR}/src/app)
add_dependencies(PanelBench quorvel_bundle_resources)
# From the process's start to the panel on a display, against the least Qt program that shows a
# window (both started as fresh processes on a virtual display of the bench's own).
add_executable(MinimalWindow MinimalWindow.cpp)
target_link_libraries(MinimalWindow PRIVATE Qt6::Widgets)
quorvel_add_benchmark(StartBench MapWatcher.cpp PanelSetUp.cpp)
target_link_libraries(StartBench PRIVATE PkgConfig::XCB)
target_compile_definitions(StartBench PRIVATE QUORVEL_MINIMAL_WINDOW="$<TARGET_FILE:MinimalWindow>"
  QUORVEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_dependencies(StartBench MinimalWindow quorvel_launcher)
