# The dialogs: their edit rules and displays without a window; the main window
# and its Qt dialogs driven by keys and clicks, with the diagram's pixels.
hopwatch_add_test(NAME settings_channel_edit_test SOURCES settings_channel_edit_test.cpp)
hopwatch_add_test(NAME ui_dialogs_test SOURCES ui_dialogs_test.cpp QT)
