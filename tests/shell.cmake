# The application shell: toolbar, status bar, start-up and shut-down, options.
hopwatch_add_test(NAME shell_core SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/shell_toolbar_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shell_status_test.cpp)
