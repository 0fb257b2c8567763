# Saved states: the batch tool's file, byte for byte, and a run taken up again that
# goes on exactly as one that never stopped.

varied <- list(Survival = 0.55, Fecundity = 2.5, DispersalFirst = TRUE, DispersalSigma = 0.9,
               DistInitMode = 1L, DistMean = 3L)

bytes <- function(path) readBin(path, "raw", 1e7)

test_that("R, Python and the batch tool read and write the same states", {
  dir <- tempfile("glebix-states-")
  sets <- unlist(lapply(names(varied), function(n) {
    c("--set", paste0(n, "=", glebix:::setting_texts(varied[[n]])))
  }))
  run_batch("--seed", "777", "--steps", "12", "--save-state", file.path(dir, "batch.state"), sets)
  sim <- glebix_step(do.call(ready, c(list(seed = 777, steps = 12), varied)), 12)
  glebix_save_state(sim, file.path(dir, "new", "r.state"))
  expect_identical(bytes(file.path(dir, "new", "r.state")), bytes(file.path(dir, "batch.state")))

  # The batch tool's state, taken up in R, ends as the batch tool's unbroken run.
  run_batch("--seed", "777", "--steps", "40", "--out", file.path(dir, "whole"), "--trace",
            file.path(dir, "whole.csv"), sets)
  resumed <- glebix_resume(file.path(dir, "batch.state"), steps = 40, threads = 2)
  expect_equal(nrow(glebix_trace(resumed)), 0)
  glebix_step(resumed, 28)
  expect_equal(glebix_trace(resumed), utils::read.csv(file.path(dir, "whole.csv"))[13:40, ],
               ignore_attr = TRUE, tolerance = 1e-14)
  ours <- glebix_write_result_file(resumed, file.path(dir, "r"))
  expect_identical(bytes(ours), bytes(file.path(dir, "whole", "RireVed1a1p1.txt")))
  expect_equal(glebix_seed(resumed), 777)
})

test_that("a run saved at any step and resumed equals the unbroken run", {
  dir <- tempfile("glebix-states-")
  whole <- glebix_step(ready(seed = 4242, steps = 20, DispersalFirst = TRUE), 20)
  glebix_save_state(whole, file.path(dir, "whole.state"))
  for (k in c(0, 7, 20)) {
    first <- glebix_step(ready(seed = 4242, steps = 20, DispersalFirst = TRUE), k)
    glebix_save_state(first, file.path(dir, "k.state"))
    resumed <- glebix_resume(file.path(dir, "k.state"))
    glebix_step(resumed, 20 - k)
    glebix_save_state(resumed, file.path(dir, "resumed.state"))
    expect_identical(bytes(file.path(dir, "resumed.state")), bytes(file.path(dir, "whole.state")),
                     label = paste("saved at step", k))
  }
})

test_that("only the settings read at every step may change on resume", {
  dir <- tempfile("glebix-states-")
  sim <- glebix_step(ready(seed = 5, steps = 10), 6)
  path <- file.path(dir, "s.state")
  glebix_save_state(sim, path)
  later <- glebix_resume(path, DecompactionD = 8, EnvDynamic = FALSE)
  expect_equal(glebix_settings(later)$value[glebix_settings()$name == "EnvDynamic"], "off")
  refusals <- list(list(quote(glebix_resume(path, Survival = 0.3)), "Survival", "ne peut pas changer"),
                   list(quote(glebix_resume(path, steps = 5)), "steps", "avant le pas enregistr\u00e9 (6)"),
                   list(quote(glebix_resume(file.path(dir, "none.state"))), "", "introuvable"))
  for (r in refusals) {
    e <- tryCatch(eval(r[[1]]), glebix_error = identity)
    expect_s3_class(e, "glebix_error")
    expect_equal(e$context$setting, r[[2]])
    expect_match(conditionMessage(e), r[[3]], fixed = TRUE)
  }
  e <- tryCatch(glebix_save_state(sim, "/dev/null"), glebix_error = identity)
  expect_match(conditionMessage(e), "n'est pas un fichier ordinaire", fixed = TRUE)
})
