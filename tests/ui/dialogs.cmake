# Tests of the main menu and the parameter dialogs.
