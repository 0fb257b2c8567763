library(testthat)
library(glebix)

test_check("glebix")
