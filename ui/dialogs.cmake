add_library(glebix_dialogs STATIC
  DynEnvt.cpp
  DynEnvt.h
  Espece.cpp
  Espece.h
  IniEnvt.cpp
  IniEnvt.h
  InitDistEsp.cpp
  InitDistEsp.h
  Menu.cpp
  Menu.h
  Sauvegarde.cpp
  Sauvegarde.h
  Simulation.cpp
  Simulation.h
  sorties.cpp
  sorties.h
)
target_include_directories(glebix_dialogs PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(glebix_dialogs PUBLIC glebix_ui_support)
