test_that("the matrices are indexed [row, column] as the files and the map number cells", {
  dist <- write_lines(c("3 7 42", "50 1 5"))
  env <- write_lines(c("3 7 80", "50 1 12.5"))
  expect_warning(sim <- ready(seed = 1, steps = 0, DistInitMode = 0, DistFilePath = dist,
                              EnvInitMode = 0, EnvFilePath = env),
                 "ne nomme pas 2498 cases", class = "glebix_warning")
  density <- glebix_density(sim)
  expect_true(is.integer(density))
  expect_equal(dim(density), c(50L, 50L))
  expect_equal(density[3, 7], 42L)
  expect_equal(density[50, 1], 5L)
  expect_equal(sum(density), 47)
  compacted <- glebix_compacted(sim)
  expect_equal(compacted[3, 7], 80)
  expect_equal(compacted[50, 1], 12.5)
  expect_equal(compacted[7, 3], -5)  # cells the file does not name
  expect_equal(glebix_decompacted(sim)[3, 7], 20)

  # The left-third distribution fills the first rows of the plot.
  third <- glebix_density(ready(seed = 1, steps = 0, DistInitMode = 3, DistConstant = 9))
  expect_true(all(third[1:16, ] == 9L))
  expect_true(all(third[17:50, ] == 0L))
})

test_that("the result file lists the cells row by row, as the matrices hold them", {
  sim <- glebix_step(ready(seed = 11, steps = 5), 5)
  dir <- tempfile("glebix-")
  dir.create(dir)
  path <- glebix_write_result_file(sim, dir)
  expect_equal(basename(path), "RireVed1a1p1.txt")
  lines <- readLines(path)
  expect_length(lines, 2500)
  counts <- as.integer(sub(" .*", "", lines))
  expect_equal(counts, as.vector(t(glebix_density(sim))))
  expect_equal(list.files(dir), "RireVed1a1p1.txt")  # no temporary file left behind

  e <- tryCatch(glebix_write_result_file(sim, file.path(path, "under")), error = identity)
  expect_s3_class(e, "glebix_error")
  expect_match(e$glebix_message, path, fixed = TRUE)
})

test_that("the raster is laid out as the density map", {
  skip_if_not_installed("terra")
  dist <- write_lines(c("3 7 42", "50 1 5"))
  sim <- ready(seed = 1, steps = 0, DistInitMode = 0, DistFilePath = dist)
  raster <- glebix_raster(sim)
  expect_equal(names(raster), c("density", "compacted"))
  # Row i spans x from i - 1 to i, column j spans y from j - 1 to j.
  at <- function(x, y) terra::extract(raster, cbind(x, y))
  expect_equal(at(2.5, 6.5)$density, 42)
  expect_equal(at(49.5, 0.5)$density, 5)
  expect_equal(at(6.5, 2.5)$density, 0)
  expect_equal(terra::values(raster$compacted)[, 1],
               as.vector(glebix_compacted(sim)[, 50:1]))
})

test_that("the trace starts with the state after set-up and follows every step", {
  sim <- ready(seed = 21, steps = 4, ChartCellX = 25, ChartCellY = 26)
  first <- glebix_trace(sim)
  expect_equal(nrow(first), 1)
  expect_equal(first$step, 0L)
  density <- glebix_density(sim)
  expect_equal(first$cell_density, density[25, 26])
  expect_equal(first$total_density, sum(density))
  expect_equal(first$mean_density, sum(density) / 2500)
  expect_equal(first$cell_compacted, glebix_compacted(sim)[25, 26])
  expect_equal(first$mean_compacted, mean(glebix_compacted(sim)))
  glebix_step(sim, 4)
  trace <- glebix_trace(sim)
  expect_equal(trace$step, 0:4)
  expect_equal(trace$cell_density[5], glebix_density(sim)[25, 26])
  expect_equal(names(trace), c("step", "cell_density", "cell_compacted", "cell_decompacted",
                               "mean_density", "mean_compacted", "total_density"))
  # Setting up again starts the same run afresh.
  expect_identical(glebix_trace(glebix_step(glebix_setup(sim), 4)), trace)
})

test_that("a simulation refuses what it cannot do, and says so", {
  sim <- glebix_simulation(seed = 1, steps = 2)
  expect_error(glebix_step(sim), class = "glebix_error")
  expect_error(glebix_density(sim), class = "glebix_error")
  glebix_setup(sim)
  expect_error(glebix_step(sim, 3), class = "glebix_error")
  expect_equal(glebix_trace(sim)$step, 0L)  # nothing was done
  glebix_step(sim, 2)
  expect_error(glebix_step(sim), "il en reste 0", class = "glebix_error")
  expect_error(glebix_density(list()), class = "glebix_error")

  restored <- unserialize(serialize(sim, NULL))
  expect_error(glebix_density(restored), "session", class = "glebix_error")

  missing <- file.path(tempdir(), "absent.txt")
  e <- tryCatch(ready(DistInitMode = 0, DistFilePath = missing), error = identity)
  expect_s3_class(e, "glebix_error")
  expect_equal(e$glebix_message, "Fichier introuvable")
})

test_that("a NULL seed is drawn from R's generator and kept", {
  set.seed(42)
  a <- glebix_simulation()
  set.seed(42)
  b <- glebix_simulation()
  expect_equal(glebix_seed(a), glebix_seed(b))
  expect_output(print(a), paste0("graine ", format(glebix_seed(a), scientific = FALSE)))
})

test_that("a time limit stops steps and runs with R's usual error", {
  sim <- ready(seed = 1, steps = 1e7)
  calls <- list(function() glebix_step(sim, 1e7),
                function() glebix_run(steps = 1e7, replicates = 2, cores = 2),
                function() glebix_run(steps = 1e7, replicates = 2, cores = 1))
  for (call in calls) {
    started <- Sys.time()
    caught <- tryCatch({
      setTimeLimit(elapsed = 1, transient = TRUE)
      call()
    }, error = function(e) "error", interrupt = function(i) "interrupt")
    setTimeLimit()
    expect_equal(caught, "error")
    expect_lt(as.numeric(difftime(Sys.time(), started, units = "secs")), 10)
  }
})

test_that("a user's interrupt stops steps and runs as an interrupt", {
  # A child R process is interrupted as a user would, by a signal from outside.
  dir <- tempfile("glebix-interrupt-")
  dir.create(dir)
  ready <- file.path(dir, "ready")
  out <- file.path(dir, "out")
  pid <- file.path(dir, "pid")
  script <- file.path(dir, "child.R")
  writeLines(c(
    "library(glebix)",
    "sim <- glebix_setup(glebix_simulation(seed = 1, steps = 1e7))",
    "calls <- list(function() glebix_step(sim, 1e7),",
    "              function() glebix_run(steps = 1e7, replicates = 2, cores = 2))",
    "for (call in calls) {",
    sprintf("  file.create('%s')", ready),
    "  cat(tryCatch(call(), interrupt = function(i) 'interrupt', error = function(e) 'error'), '\\n')",
    "}"), script)
  system2("sh", c("-c", shQuote(sprintf("echo $$ > '%s'; exec '%s' '%s' > '%s' 2>&1", pid,
                                        file.path(R.home("bin"), "Rscript"), script, out))),
          wait = FALSE)
  deadline <- Sys.time() + 60
  wait_for <- function(done) while (!done() && Sys.time() < deadline) Sys.sleep(0.05)
  for (k in 1:2) {
    wait_for(function() file.exists(ready))
    unlink(ready)
    Sys.sleep(0.5)  # the call is under way: ten million steps take hours
    sent <- Sys.time()
    tools::pskill(as.integer(readLines(pid)), tools::SIGINT)
    wait_for(function() length(readLines(out, warn = FALSE)) >= k)
    expect_lt(as.numeric(difftime(Sys.time(), sent, units = "secs")), 5)
  }
  tools::pskill(as.integer(readLines(pid)), tools::SIGKILL)
  expect_equal(trimws(readLines(out)), c("interrupt", "interrupt"))
})

test_that("SIGTERM removes the temporary files of an animation under way, then ends R", {
  dir <- tempfile("glebix-term-")
  place <- file.path(dir, "place")
  dir.create(place, recursive = TRUE)
  writeLines("earlier", file.path(place, "a.gif"))
  pid <- file.path(dir, "pid")
  script <- file.path(dir, "child.R")
  writeLines(c(
    "library(glebix)",
    "sim <- glebix_simulation(seed = 1, steps = 1e6, PlotWidth = 300, PlotHeight = 300)",
    sprintf("glebix_animate(sim, '%s', every = 1)", file.path(place, "a.gif")),
    "glebix_step(glebix_setup(sim), 1e6)"), script)
  system2("sh", c("-c", shQuote(sprintf("echo $$ > '%s'; exec '%s' '%s' > /dev/null 2>&1", pid,
                                        file.path(R.home("bin"), "Rscript"), script))),
          wait = FALSE)
  deadline <- Sys.time() + 60
  wait_for <- function(done) while (!done() && Sys.time() < deadline) Sys.sleep(0.05)
  wait_for(function() length(list.files(place)) > 1)
  Sys.sleep(0.3)  # some frames written
  child <- as.integer(readLines(pid))
  tools::pskill(child, tools::SIGTERM)
  wait_for(function() !file.exists(file.path("/proc", child)))
  expect_false(file.exists(file.path("/proc", child)))
  expect_equal(list.files(place), "a.gif")
  expect_equal(readLines(file.path(place, "a.gif")), "earlier")
})
