# The application: options, start-up and shut-down; the program as a process:
# as a service, recording calls, and the demo. The Qt window is tested with its
# dialogs.
hopwatch_add_test(NAME app_test SOURCES app_test.cpp)
target_compile_definitions(app_test PRIVATE HOPWATCH_PROGRAM="$<TARGET_FILE:hopwatch>")
add_dependencies(app_test hopwatch)
hopwatch_add_fuzzer(NAME backend_options_fuzz SOURCES fuzz/backend_options_fuzz.cpp)
target_compile_definitions(app_test PRIVATE HOPWATCH_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
