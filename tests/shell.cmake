# The application shell: toolbar, status bar, options, program entry,
# start-up and shut-down.
hopwatch_add_test(NAME shell_core SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/shell_toolbar_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shell_status_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shell_options_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shell_session_test.cpp)
