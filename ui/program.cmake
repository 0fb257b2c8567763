# The program's windows tied together, as the program entry and the end-to-end tests use them.
add_library(glebix_program STATIC
  ProgramWindows.cpp
  ProgramWindows.h
)
target_include_directories(glebix_program PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(glebix_program PUBLIC glebix_windows glebix_dialogs)
