add_library(glebix_dialogs STATIC
  Menu.cpp
)
target_include_directories(glebix_dialogs PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(glebix_dialogs PUBLIC glebix_engine glebix_windows Qt6::Widgets)
