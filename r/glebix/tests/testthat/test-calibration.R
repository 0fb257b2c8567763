# glebix_calibrate() is the batch tool's calibration: the same bytes of posterior.csv from
# the same inputs, the same refusals before any run.

calibration_inputs <- function() {
  dir <- tempfile("glebix-")
  dir.create(dir)
  factors <- file.path(dir, "factors.csv")
  writeLines(c("name,low,high", "Survival,0.2,0.8"), factors)
  observed <- file.path(dir, "observed.csv")
  writeLines(c("step,metric,value", "6,total_density,10", "12,total_density,60",
               ",final_compacted,30"), observed)
  list(dir = dir, factors = factors, observed = observed)
}

test_that("the posterior is the batch tool's bytes", {
  batch_tool()
  i <- calibration_inputs()
  for (method in c("abc-rejection", "abc-smc")) {
    r_out <- file.path(i$dir, paste0("r-", method))
    # The prior as a named list is the factors file's.
    prior <- if (method == "abc-smc") list(Survival = c(0.2, 0.8)) else i$factors
    posterior <- glebix_calibrate(prior, i$observed, r_out, seed = 7, samples = 60,
                                  method = method, accept = 0.2, steps = 12, cores = 2,
                                  PlotWidth = 10, PlotHeight = 10)
    # The rejection keeps a fifth of its runs; abc-smc's population is its own (at least 50).
    expect_equal(nrow(posterior), if (method == "abc-rejection") 12 else 50)
    expect_true(all(posterior$Survival >= 0.2 & posterior$Survival <= 0.8))
    batch_out <- file.path(i$dir, paste0("batch-", method))
    run_batch("--calibrate", "--method", method, "--factors", i$factors, "--observed",
              i$observed, "--samples", "60", "--accept", "0.2", "--seed", "7", "--out",
              batch_out, "--set", "PlotWidth=10", "--set", "PlotHeight=10", "--steps", "12")
    for (name in c("posterior.csv", "posterior-summary.csv")) {
      expect_identical(readBin(file.path(r_out, name), "raw", 1e6),
                       readBin(file.path(batch_out, name), "raw", 1e6))
    }
  }
})

test_that("bad input is refused before any run and nothing is written", {
  i <- calibration_inputs()
  out <- file.path(i$dir, "out")
  expect_error(glebix_calibrate(i$factors, i$observed, out, seed = 1, samples = 10, accept = 0,
                                steps = 12, PlotWidth = 10, PlotHeight = 10),
               class = "glebix_error")
  late <- file.path(i$dir, "late.csv")
  writeLines(c("step,metric,value", "13,total_density,1"), late)
  expect_error(glebix_calibrate(i$factors, late, out, seed = 1, samples = 10, steps = 12),
               "late.csv", class = "glebix_error")
  expect_error(glebix_calibrate(data.frame(name = "Survival", low = 0.8, high = 0.2), i$observed,
                                out, seed = 1, samples = 10, steps = 12),
               "facteur Survival", class = "glebix_error")
  expect_false(file.exists(out))
})

test_that("observed grids in either form and the figure are the batch tool's bytes", {
  batch_tool()
  i <- calibration_inputs()
  plot <- c("--set", "PlotWidth=10", "--set", "PlotHeight=10", "--steps", "12")
  truth <- file.path(i$dir, "truth")
  run_batch("--seed", "5", "--asc", truth, plot)
  density <- file.path(truth, "density.asc")
  compacted <- file.path(truth, "compacted.asc")
  batch_out <- file.path(i$dir, "batch")
  run_batch("--calibrate", "--method", "abc-rejection", "--factors", i$factors, "--observed",
            i$observed, "--samples", "60", "--accept", "0.2", "--seed", "7", "--out", batch_out,
            "--observed-grid", paste0("12:", density), "--observed-grid",
            paste0("compacted@6:", compacted), "--figure", file.path(i$dir, "batch.png"), plot)
  forms <- list(named = c("12" = density, "compacted@6" = compacted),
                texts = c(paste0("12:", density), paste0("compacted@6:", compacted)))
  for (form in names(forms)) {
    r_out <- file.path(i$dir, form)
    png <- file.path(i$dir, paste0(form, ".png"))
    glebix_calibrate(i$factors, i$observed, r_out, seed = 7, samples = 60, accept = 0.2,
                     steps = 12, observed_grids = forms[[form]], figure = png,
                     PlotWidth = 10, PlotHeight = 10)
    for (name in c("posterior.csv", "posterior-summary.csv")) {
      expect_identical(readBin(file.path(r_out, name), "raw", 1e6),
                       readBin(file.path(batch_out, name), "raw", 1e6))
    }
    expect_identical(readBin(png, "raw", 1e7), readBin(file.path(i$dir, "batch.png"), "raw", 1e7))
  }
  small <- file.path(i$dir, "small.asc")
  writeLines(c("ncols 3", "nrows 2", "xllcorner 0", "yllcorner 0", "cellsize 1", "1 1 1", "1 1 1"),
             small)
  out <- file.path(i$dir, "out")
  expect_error(glebix_calibrate(i$factors, i$observed, out, seed = 1, samples = 10, steps = 12,
                                observed_grids = c("12" = small), PlotWidth = 10, PlotHeight = 10),
               "small.asc", class = "glebix_error")
  expect_false(file.exists(out))
})

test_that("an interrupt stops abc-smc at its last generation, and the same call goes on to the unbroken bytes", {
  # A child R process is interrupted as a user would, once its first generation is kept.
  i <- calibration_inputs()
  broken <- file.path(i$dir, "broken")
  unbroken <- file.path(i$dir, "unbroken")
  call <- sprintf(paste0("glebix_calibrate('%s', '%s', '%%s', seed = 5, samples = 20000, ",
                         "method = 'abc-smc', steps = 12, quiet = TRUE, PlotWidth = 10, PlotHeight = 10)"),
                  i$factors, i$observed)
  out <- file.path(i$dir, "out")
  pid <- file.path(i$dir, "pid")
  script <- file.path(i$dir, "child.R")
  writeLines(c("library(glebix)",
               sprintf("cat(tryCatch({%s; 'done'}, interrupt = function(e) 'interrupt'), '\\n')",
                       sprintf(call, broken))), script)
  system2("sh", c("-c", shQuote(sprintf("echo $$ > '%s'; exec '%s' '%s' > '%s' 2>&1", pid,
                                        file.path(R.home("bin"), "Rscript"), script, out))),
          wait = FALSE)
  state <- file.path(broken, "abc-smc-state.txt")
  deadline <- Sys.time() + 60
  wait_for <- function(done) while (!done() && Sys.time() < deadline) Sys.sleep(0.02)
  wait_for(function() file.exists(state))
  tools::pskill(as.integer(readLines(pid)), tools::SIGINT)
  wait_for(function() length(readLines(out, warn = FALSE)) >= 1)
  expect_equal(trimws(readLines(out)), "interrupt")
  expect_true(file.exists(state))
  expect_false(file.exists(file.path(broken, "posterior.csv")))
  eval(parse(text = sprintf(call, broken)))
  eval(parse(text = sprintf(call, unbroken)))
  expect_false(file.exists(state))
  for (name in c("posterior.csv", "posterior-summary.csv")) {
    expect_identical(readBin(file.path(broken, name), "raw", 1e6),
                     readBin(file.path(unbroken, name), "raw", 1e6))
  }
})

test_that("on the workers of a future plan, a calibration gives the local bytes", {
  skip_if_not_installed("future.apply")
  i <- calibration_inputs()
  # Mode 0 reads a distribution file not given: some runs fault, and fault alike there.
  writeLines(c("name,low,high", "Survival,0.2,0.8", "DistInitMode,0,4"), i$factors)
  calibrate <- function(method, out) {
    glebix_calibrate(i$factors, i$observed, file.path(i$dir, out), seed = 11, samples = 60,
                     method = method, accept = 0.3, steps = 12, quiet = TRUE,
                     PlotWidth = 10, PlotHeight = 10)
  }
  for (method in c("abc-rejection", "abc-smc")) calibrate(method, paste0("local-", method))
  old <- future::plan(future::multisession, workers = 2)
  on.exit(future::plan(old), add = TRUE)
  for (method in c("abc-rejection", "abc-smc")) {
    calibrate(method, paste0("future-", method))
    for (name in c("posterior.csv", "posterior-summary.csv")) {
      expect_identical(readBin(file.path(i$dir, paste0("future-", method), name), "raw", 1e6),
                       readBin(file.path(i$dir, paste0("local-", method), name), "raw", 1e6))
    }
  }
  manifest <- readLines(file.path(i$dir, "future-abc-rejection", "manifest.json"))
  expect_false(any(grepl("\"faulted_runs\": 0,", manifest, fixed = TRUE)))
})

test_that("a species file gives the batch tool's bytes and is recorded", {
  batch_tool()
  i <- calibration_inputs()
  species <- file.path(i$dir, "species.txt")
  writeLines("0.7 3 1 0.5 2 0.2 0 0.9 1 1.25", species)
  glebix_calibrate(i$factors, i$observed, file.path(i$dir, "r"), seed = 4, samples = 30,
                   accept = 0.2, steps = 12, species = species, quiet = TRUE,
                   PlotWidth = 10, PlotHeight = 10)
  run_batch("--calibrate", "--method", "abc-rejection", "--factors", i$factors, "--observed",
            i$observed, "--samples", "30", "--accept", "0.2", "--seed", "4", "--species", species,
            "--out", file.path(i$dir, "batch"), "--set", "PlotWidth=10", "--set",
            "PlotHeight=10", "--steps", "12")
  expect_identical(readBin(file.path(i$dir, "r", "posterior.csv"), "raw", 1e6),
                   readBin(file.path(i$dir, "batch", "posterior.csv"), "raw", 1e6))
  for (folder in c("r", "batch")) {
    manifest <- paste(readLines(file.path(i$dir, folder, "manifest.json")), collapse = "\n")
    expect_match(manifest, "\"role\": \"species\"", fixed = TRUE)
  }
})

test_that("the prior design is the batch tool's, and abc-smc refuses one", {
  batch_tool()
  i <- calibration_inputs()
  glebix_calibrate(i$factors, i$observed, file.path(i$dir, "r"), seed = 9, samples = 40,
                   accept = 0.2, steps = 12, prior_sample = "sobol", quiet = TRUE,
                   PlotWidth = 10, PlotHeight = 10)
  run_batch("--calibrate", "--method", "abc-rejection", "--factors", i$factors, "--observed",
            i$observed, "--samples", "40", "--accept", "0.2", "--seed", "9", "--prior-sample",
            "sobol", "--out", file.path(i$dir, "batch"), "--set", "PlotWidth=10", "--set",
            "PlotHeight=10", "--steps", "12")
  expect_identical(readBin(file.path(i$dir, "r", "posterior.csv"), "raw", 1e6),
                   readBin(file.path(i$dir, "batch", "posterior.csv"), "raw", 1e6))
  expect_error(glebix_calibrate(i$factors, i$observed, file.path(i$dir, "smc"), seed = 9,
                                samples = 60, method = "abc-smc", steps = 12, prior_sample = "lhs",
                                PlotWidth = 10, PlotHeight = 10),
               "abc-rejection")
  expect_false(file.exists(file.path(i$dir, "smc")))
})
