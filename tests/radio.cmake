# The program's own AX.25 layer 2 over KISS: the codecs, the data link over a
# simulated channel, the KISS client against a fake TNC.
hopwatch_add_test(NAME radio_tests SOURCES radio_test.cpp)

hopwatch_add_fuzzer(NAME kiss_link_fuzz SOURCES fuzz/kiss_link_fuzz.cpp)
