# The metrics endpoint: the exposition text, the program scraped by a real
# Prometheus, and the contributed Prometheus files.
hopwatch_add_test(NAME metrics_text_test SOURCES metrics_text_test.cpp)
hopwatch_add_test(NAME metrics_process_test SOURCES metrics_process_test.cpp)
target_compile_definitions(metrics_process_test PRIVATE HOPWATCH_PROGRAM="$<TARGET_FILE:hopwatch>")
add_dependencies(metrics_process_test hopwatch)
