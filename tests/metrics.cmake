# The metrics endpoint: the exposition text, the program scraped by a real
# Prometheus, and the contributed Prometheus files.
hopwatch_add_test(NAME metrics_text_test SOURCES metrics_text_test.cpp)
