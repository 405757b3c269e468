# quorvel-scan: one disk scan from the command line, over the same library as the launcher.
add_executable(quorvel-scan ${CMAKE_CURRENT_LIST_DIR}/ScanTool.cpp)
target_link_libraries(quorvel-scan PRIVATE quorvel_index)
target_compile_options(quorvel-scan PRIVATE ${QUORVEL_WARNINGS})
target_compile_definitions(quorvel-scan PRIVATE QUORVEL_VERSION="${PROJECT_VERSION}")
# Beside the built bundle, whose resources it uses when it is not installed.
set_target_properties(quorvel-scan PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
