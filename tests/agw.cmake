# The AGWPE backend: the client against a fake TNC (the frame codec is tested
# with the rest of link acquisition).
hopwatch_add_test(NAME agw_tests SOURCES agw_client_test.cpp)

hopwatch_add_fuzzer(NAME agw_stream_fuzz SOURCES fuzz/agw_stream_fuzz.cpp)
