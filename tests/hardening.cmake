# Outside faults: a link or stack that stops answering, a full disk, damaged
# or unreadable files.
hopwatch_add_test(NAME hardening_cycle_test SOURCES hardening_cycle_test.cpp)
hopwatch_add_test(NAME hardening_start_test SOURCES hardening_start_test.cpp)
target_compile_definitions(hardening_start_test PRIVATE HOPWATCH_PROGRAM="$<TARGET_FILE:hopwatch>")
add_dependencies(hardening_start_test hopwatch)
hopwatch_add_test(NAME hardening_files_test SOURCES hardening_files_test.cpp)
hopwatch_add_test(NAME hardening_process_test SOURCES hardening_process_test.cpp)
target_compile_definitions(hardening_process_test PRIVATE HOPWATCH_PROGRAM="$<TARGET_FILE:hopwatch>")
add_dependencies(hardening_process_test hopwatch)
