# The tests check the package's French messages, and testthat sets LANGUAGE=en inside
# every test: each test here starts by naming French instead (testthat restores
# LANGUAGE after it).
test_that <- function(desc, code) {
  code <- bquote({
    Sys.setenv(LANGUAGE = "fr")
    .(substitute(code))
  })
  eval(bquote(testthat::test_that(.(desc), .(code))), parent.frame())
}

# The batch tool named by GLEBIX_BATCH (set by scripts/test-r.sh), or a skip.
batch_tool <- function() {
  path <- Sys.getenv("GLEBIX_BATCH")
  if (!nzchar(path) || !file.exists(path)) skip("GLEBIX_BATCH ne nomme pas glebix-batch")
  path
}

run_batch <- function(...) {
  status <- system2(batch_tool(), c(..., "--quiet"), stdout = FALSE, stderr = FALSE)
  expect_equal(status, 0)
}

# A text file in a fresh temporary folder.
write_lines <- function(lines, name = "input.txt") {
  dir <- tempfile("glebix-")
  dir.create(dir)
  path <- file.path(dir, name)
  writeLines(lines, path)
  path
}

ready <- function(...) glebix_setup(glebix_simulation(...))
