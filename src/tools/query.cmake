# quorvel-query: the index searched from the command line, over the same library as the panel.
add_executable(quorvel-query ${CMAKE_CURRENT_LIST_DIR}/QueryTool.cpp)
target_link_libraries(quorvel-query PRIVATE quorvel_search)
target_compile_options(quorvel-query PRIVATE -Wall -Wextra)
