# The application shell: toolbar, status bar, options, program entry,
# start-up and shut-down.
hopwatch_add_test(NAME shell_core SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/shell_toolbar_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shell_status_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shell_options_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shell_session_test.cpp)
hopwatch_add_test(NAME shell_qt SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_qt_test.cpp QT)
hopwatch_add_test(NAME shell_process SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_process_test.cpp)
target_compile_definitions(shell_process PRIVATE HOPWATCH_PROGRAM="$<TARGET_FILE:hopwatch>")
add_dependencies(shell_process hopwatch)
