# The web pages without a listener: the SVG against the paint plan, the
# availability and outage tables, escaping of what the radio sends. The pages
# in a real browser are tested in web_browser_test.
hopwatch_add_test(NAME web_test SOURCES web_test.cpp)
hopwatch_add_fuzzer(NAME web_request_fuzz SOURCES fuzz/web_request_fuzz.cpp)
