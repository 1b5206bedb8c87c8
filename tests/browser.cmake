# The web pages in a real browser: headless Chromium loads them from the
# running program and its pictures are compared with the window's own paint
# (skipped when chromium is not installed).
hopwatch_add_test(NAME web_browser_test SOURCES web_browser_test.cpp QT)
target_compile_definitions(web_browser_test PRIVATE HOPWATCH_PROGRAM="$<TARGET_FILE:hopwatch>")
add_dependencies(web_browser_test hopwatch)
