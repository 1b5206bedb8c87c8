# The AGWPE backend: the client against a fake TNC (the frame codec is tested
# with the rest of link acquisition).
hopwatch_add_test(NAME agw_tests SOURCES agw_client_test.cpp)

hopwatch_add_fuzzer(NAME agw_frame_fuzz SOURCES fuzz/agw_frame_fuzz.cpp)
hopwatch_add_fuzzer(NAME agw_stream_fuzz SOURCES fuzz/agw_stream_fuzz.cpp)

# The program end to end on two real Direwolf TNCs wired by audio over UDP
# (skipped when direwolf is not installed).
add_executable(agw_audio_forward integration/audio_forward.cpp)
hopwatch_add_test(NAME agw_program_tests SOURCES integration/agw_program_test.cpp)
target_compile_definitions(agw_program_tests PRIVATE
  HOPWATCH_AUDIO_FORWARD="$<TARGET_FILE:agw_audio_forward>"
  HOPWATCH_PROGRAM="$<TARGET_FILE:hopwatch>")
add_dependencies(agw_program_tests agw_audio_forward hopwatch)
