# The history store: file format, writer and rotation, in-memory series,
# damaged files, the CSV export, memory use.
hopwatch_add_test(NAME history_test SOURCES history_test.cpp)
target_compile_definitions(history_test PRIVATE HOPWATCH_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")

hopwatch_add_fuzzer(NAME history_reader_fuzz SOURCES fuzz/history_reader_fuzz.cpp)
if(TARGET history_reader_fuzz)
  # Its scratch directory comes from the test support, which reports through GoogleTest.
  target_link_libraries(history_reader_fuzz PRIVATE GTest::gtest)
endif()
