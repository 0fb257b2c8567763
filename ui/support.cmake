# What every window of the program shares: placement by the outer rectangle, the
# message pump, the error box, the dialogs' controls, the file chooser, French
# numbers and Qt's own French texts.
add_library(glebix_ui_support STATIC
  DialogControls.cpp
  DialogControls.h
  ErrorBox.cpp
  ErrorBox.h
  ExportDialog.cpp
  ExportDialog.h
  FileChooser.cpp
  FileChooser.h
  FrenchNumber.cpp
  FrenchNumber.h
  MessagePump.cpp
  MessagePump.h
  OuterSizedWindow.cpp
  OuterSizedWindow.h
  QtFrench.cpp
  QtFrench.h
  WindowPlacement.cpp
  WindowPlacement.h
)
target_include_directories(glebix_ui_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(glebix_ui_support PUBLIC glebix_engine Qt6::Widgets)
