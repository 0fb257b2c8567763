# Tests of the main menu and the parameter dialogs.
glebix_add_window_tests(glebix_dialogs
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

# Qt's own French texts in the standard dialogs.
glebix_add_window_tests(glebix_ui_support tst_qtfrench)
