# The main window and its Qt dialogs driven by keys and clicks, with the
# diagram's pixels (the dialogs' edit rules are tested with the settings).
hopwatch_add_test(NAME ui_dialogs_test SOURCES ui_dialogs_test.cpp QT)
