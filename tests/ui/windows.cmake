# Tests of the launcher, plot window and chart window.
glebix_add_window_tests(glebix_windows tst_tform1 tst_tform2 tst_tform3)

# Not a test: times a run through the windows against the engine alone.
add_executable(time_window_run time_window_run.cpp)
target_link_libraries(time_window_run PRIVATE glebix_windows)
