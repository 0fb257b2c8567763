add_library(glebix_windows STATIC
  ErrorBox.cpp
)
target_include_directories(glebix_windows PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(glebix_windows PUBLIC glebix_engine Qt6::Widgets)
