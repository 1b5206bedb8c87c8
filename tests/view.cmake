# The diagram: geometry, paint plan and navigation without a window.
hopwatch_add_test(NAME view_diagram_test SOURCES view_diagram_test.cpp)
hopwatch_add_test(NAME ui_diagram_test SOURCES ui_diagram_test.cpp QT)
