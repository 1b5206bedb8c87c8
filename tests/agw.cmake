# The AGWPE backend: frame codec, client against a fake TNC, and the pair of
# real Direwolf TNCs.
hopwatch_add_test(NAME agw_tests SOURCES agw_client_test.cpp agw_frame_test.cpp)
