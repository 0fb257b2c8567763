add_library(glebix_windows STATIC
  AfficheCase.cpp
  AfficheCase.h
  Affichage.cpp
  Affichage.h
  Glebix1.cpp
  Glebix1.h
  RunManifest.cpp
  RunManifest.h
)
target_include_directories(glebix_windows PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(glebix_windows PUBLIC glebix_ui_support glebix_map_image glebix_core)
