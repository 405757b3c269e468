# quorvel-query: the index searched from the command line, over the same library as the panel.
add_executable(quorvel-query ${CMAKE_CURRENT_LIST_DIR}/QueryTool.cpp ${CMAKE_CURRENT_LIST_DIR}/MatchOutput.cpp)
target_link_libraries(quorvel-query PRIVATE quorvel_search)
target_compile_options(quorvel-query PRIVATE ${QUORVEL_WARNINGS})
target_compile_definitions(quorvel-query PRIVATE QUORVEL_VERSION="${PROJECT_VERSION}")
# Beside the built bundle and quorvel-scan: every tool in the build folder's root.
set_target_properties(quorvel-query PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
