# Outside faults: a link or stack that stops answering, a full disk, damaged
# or unreadable files.
hopwatch_add_test(NAME hardening_cycle_test SOURCES hardening_cycle_test.cpp)
