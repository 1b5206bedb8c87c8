# Outside faults: a link or stack that stops answering, a full disk, damaged
# or unreadable files, kills at any moment.
hopwatch_add_test(NAME hardening_test SOURCES hardening_test.cpp TIMED)
target_compile_definitions(hardening_test PRIVATE HOPWATCH_PROGRAM="$<TARGET_FILE:hopwatch>")
add_dependencies(hardening_test hopwatch)
