# What reaches users beside the window: the installed package with its
# desktop files, manual page and service. (The CSV export is tested with the
# history store, the demo with the other program runs.) Builds the .deb from
# this build directory (nothing is compiled again), unpacks it and checks what
# it holds. Bounded: cpack of a built tree takes seconds.
add_test(NAME packaging_deb
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/packaging_test.sh ${PROJECT_BINARY_DIR})
set_tests_properties(packaging_deb PROPERTIES LABELS packaging TIMEOUT 300 RUN_SERIAL TRUE)
