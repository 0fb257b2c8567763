# Tests of the main menu and the parameter dialogs.
set(GLEBIX_DIALOG_TESTS
  tst_dialogcontrols
  tst_dynenvt
  tst_espece
  tst_inienvt
  tst_initdistesp
  tst_menu
  tst_sauvegarde
  tst_simulation
  tst_sorties
)
foreach(test IN LISTS GLEBIX_DIALOG_TESTS)
  add_executable(${test} ${test}.cpp DialogChecks.h)
  target_link_libraries(${test} PRIVATE glebix_dialogs Qt6::Test)
  add_test(NAME ${test} COMMAND ${test})
  set_tests_properties(${test} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=fr_FR.UTF-8")
endforeach()

# Draws the menu window and the dialogs into one picture (docs/dialogs.png).
add_executable(dialogs_screenshot dialogs_screenshot.cpp)
target_link_libraries(dialogs_screenshot PRIVATE glebix_dialogs)
