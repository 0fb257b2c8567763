add_library(glebix_windows STATIC
  AfficheCase.cpp
  AfficheCase.h
  Affichage.cpp
  Affichage.h
  ErrorBox.cpp
  ErrorBox.h
  Glebix1.cpp
  Glebix1.h
  MessagePump.cpp
  MessagePump.h
  OuterSizedWindow.cpp
  OuterSizedWindow.h
  WindowPlacement.cpp
  WindowPlacement.h
)
target_include_directories(glebix_windows PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(glebix_windows PUBLIC glebix_engine glebix_map_image Qt6::Widgets)
