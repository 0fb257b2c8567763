# Tests of the launcher, plot window and chart window.
glebix_add_window_tests(glebix_windows tst_tform1 tst_tform2 tst_tform3)
# A run made in the windows and repeated by the batch tool from its manifest.
glebix_add_window_tests(glebix_program tst_windowsrepeat)
target_link_libraries(tst_windowsrepeat PRIVATE glebix_batch_lib)
