# The settings file: profile semantics, the settings layout, atomic saving;
# the channel dialog's edit rules.
hopwatch_add_test(NAME settings_test SOURCES settings_test.cpp)
hopwatch_add_fuzzer(NAME settings_file_fuzz SOURCES fuzz/settings_file_fuzz.cpp)
if(TARGET settings_file_fuzz)
  target_link_libraries(settings_file_fuzz PRIVATE GTest::gtest)
endif()
