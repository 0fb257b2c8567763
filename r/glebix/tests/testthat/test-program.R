test_that("a fresh R loads the package, runs, writes its rows and ends with status 0", {
  script <- tempfile("glebix-", fileext = ".R")
  out <- tempfile("glebix-", fileext = ".rds")
  writeLines(c("library(glebix)",
               sprintf("saveRDS(glebix_run(steps = 5, seed = 3, replicates = 2, cores = 2), '%s')", out)),
               script)
  libs <- paste0("R_LIBS=", shQuote(paste(.libPaths(), collapse = .Platform$path.sep)))
  said <- suppressWarnings(system2(file.path(R.home("bin"), "Rscript"), shQuote(script),
                                   stdout = TRUE, stderr = TRUE, env = libs))
  expect_null(attr(said, "status"), info = paste(said, collapse = "\n"))
  expect_identical(readRDS(out), glebix_run(steps = 5, seed = 3, replicates = 2, cores = 2))
})
