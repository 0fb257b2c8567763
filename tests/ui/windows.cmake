# Tests of the launcher, plot window and chart window.
set(GLEBIX_WINDOW_TESTS tst_tform1 tst_tform2 tst_tform3)
foreach(test IN LISTS GLEBIX_WINDOW_TESTS)
  add_executable(${test} ${test}.cpp)
  target_link_libraries(${test} PRIVATE glebix_windows Qt6::Test)
  add_test(NAME ${test} COMMAND ${test})
  set_tests_properties(${test} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=fr_FR.UTF-8")
endforeach()

# Not a test: times a run through the windows against the engine alone.
add_executable(time_window_run time_window_run.cpp)
target_link_libraries(time_window_run PRIVATE glebix_windows)
