# What reaches users beside the window: the CSV export and the installed
# package with its desktop files, manual page and service (the demo runs with
# the other program runs in app.cmake).
hopwatch_add_test(NAME export_csv_test SOURCES export_csv_test.cpp)
target_compile_definitions(export_csv_test PRIVATE HOPWATCH_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")

# Builds the .deb from this build directory (nothing is compiled again),
# unpacks it and checks what it holds. Bounded: cpack of a built tree takes
# seconds.
add_test(NAME packaging_deb
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/packaging_test.sh ${PROJECT_BINARY_DIR})
set_tests_properties(packaging_deb PROPERTIES LABELS packaging TIMEOUT 300 RUN_SERIAL TRUE)
