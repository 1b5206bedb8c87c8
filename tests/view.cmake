# The diagram: geometry, paint plan and navigation without a window.
hopwatch_add_test(NAME view_diagram_test SOURCES view_diagram_test.cpp)
