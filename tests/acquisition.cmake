# Link acquisition in one program: the connect cycle, the link report parser,
# the answering service, the simulated network and the AGWPE frame codec. The
# program recording calls on the simulated network runs with the other program
# runs (app.cmake).
hopwatch_add_test(NAME acquisition_calls_test SOURCES acquisition_calls_test.cpp)
hopwatch_add_fuzzer(NAME acquisition_reply_fuzz SOURCES fuzz/acquisition_reply_fuzz.cpp)
