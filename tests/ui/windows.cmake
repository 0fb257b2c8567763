# Tests of the launcher, plot window and chart window.
