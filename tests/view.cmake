# The view without a window: the diagram's geometry, paint plan and
# navigation; the toolbar rules, status texts and metrics text.
hopwatch_add_test(NAME view_test SOURCES view_test.cpp)
