# Link acquisition: the connect cycle, the answering service and the
# simulated network in one program.
hopwatch_add_test(NAME acquisition_calls_test SOURCES acquisition_calls_test.cpp)
hopwatch_add_fuzzer(NAME acquisition_reply_fuzz SOURCES fuzz/acquisition_reply_fuzz.cpp)
hopwatch_add_test(NAME acquisition_process_test SOURCES acquisition_process_test.cpp)
target_compile_definitions(acquisition_process_test PRIVATE HOPWATCH_PROGRAM="$<TARGET_FILE:hopwatch>")
add_dependencies(acquisition_process_test hopwatch)
