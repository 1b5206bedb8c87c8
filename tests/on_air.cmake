# The program end to end on two real Direwolf TNCs wired by audio over UDP,
# through each layer-2 backend that reaches a TNC (skipped when direwolf is
# not installed).
add_executable(on_air_audio_forward integration/audio_forward.cpp)
foreach(backend agw kiss)
  hopwatch_add_test(NAME ${backend}_program_tests SOURCES integration/${backend}_program_test.cpp TIMED)
  target_compile_definitions(${backend}_program_tests PRIVATE
    HOPWATCH_AUDIO_FORWARD="$<TARGET_FILE:on_air_audio_forward>"
    HOPWATCH_PROGRAM="$<TARGET_FILE:hopwatch>")
  add_dependencies(${backend}_program_tests on_air_audio_forward hopwatch)
endforeach()
