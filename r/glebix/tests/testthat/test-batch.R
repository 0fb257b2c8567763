# The same seed and settings give the batch tool's files and rows.

test_that("the result file equals the batch tool's, byte for byte", {
  tool <- batch_tool()
  settings <- list(Survival = 0.45, Fecundity = "2.5", DistInitMode = 1L, EnvMean = 40,
                   DispersalFirst = TRUE)
  out <- tempfile("glebix-batch-")
  sets <- unlist(lapply(names(settings), function(n) {
    c("--set", paste0(n, "=", glebix:::setting_texts(settings[[n]])))
  }))
  run_batch("--seed", "3141592653", "--steps", "40", sets, "--out", out, "--replicates", "2")
  sim <- glebix_step(do.call(ready, c(list(seed = 3141592653, steps = 40), settings)), 40)
  mine <- tempfile("glebix-r-")
  dir.create(mine)
  ours <- glebix_write_result_file(sim, mine)
  theirs <- file.path(out, "run-001", "RireVed1a1p1.txt")
  expect_identical(readBin(ours, "raw", 1e6), readBin(theirs, "raw", 1e6))

  # The second replicate: the seed glebix_run gives it is the batch tool's.
  second <- glebix_run(steps = 0, seed = 3141592653, replicates = 2)$seed[2]
  sim <- glebix_step(do.call(ready, c(list(seed = second, steps = 40), settings)), 40)
  ours <- glebix_write_result_file(sim, mine)
  theirs <- file.path(out, "run-002", "RireVed1a1p1.txt")
  expect_identical(readBin(ours, "raw", 1e6), readBin(theirs, "raw", 1e6))
})

test_that("the trace has the batch trace's columns and values", {
  trace_path <- tempfile("glebix-trace-", fileext = ".csv")
  run_batch("--seed", "17", "--steps", "30", "--set", "ChartCellX=24", "--trace", trace_path)
  theirs <- utils::read.csv(trace_path)
  ours <- glebix_trace(glebix_step(ready(seed = 17, steps = 30, ChartCellX = 24), 30))
  expect_equal(names(ours), names(theirs))
  expect_equal(ours[-1, ], theirs, ignore_attr = TRUE, tolerance = 1e-14)
})

test_that("a stopping rule ends the run where the batch tool ends it", {
  trace_path <- tempfile("glebix-trace-", fileext = ".csv")
  rules <- c("extinct", "mean_compacted<30")
  # system2 hands its arguments to a shell: "<" must be quoted.
  run_batch("--seed", "5", "--steps", "200", "--trace", trace_path, "--stop-when", rules[1],
            "--stop-when", shQuote(rules[2]))
  theirs <- utils::read.csv(trace_path)
  sim <- ready(seed = 5, steps = 200, stop_when = rules)
  glebix_step(sim, 200)
  expect_identical(glebix_stopped_by(sim), rules[2])
  ours <- glebix_trace(sim)
  expect_equal(ours[-1, ], theirs, ignore_attr = TRUE, tolerance = 1e-14)
  expect_lt(nrow(theirs), 200)
  expect_true(is.na(glebix_stopped_by(ready(seed = 5, steps = 3))))
  expect_error(glebix_simulation(seed = 5, stop_when = "x<1"), "stop_when", class = "glebix_error")
  expect_error(glebix_simulation(seed = 5, stop_when = 3), "stop_when", class = "glebix_error")
})

test_that("a sweep gives the batch tool's table for the same design", {
  tool <- batch_tool()
  design <- data.frame(Survival = c(0.35, 0.5), DistInitMode = c(4L, 1L),
                       DispersalFirst = c(TRUE, FALSE))
  design_path <- tempfile("design-", fileext = ".csv")
  writeLines(c("Survival,DistInitMode,DispersalFirst", "0.35,4,true", "0.5,1,0"), design_path)
  said <- suppressWarnings(system2(tool, c("--design", design_path, "--validate"),
                                   stdout = TRUE, stderr = TRUE))
  skip_if(any(grepl("option inconnue", said, fixed = TRUE)), "glebix-batch sans --design")
  for (independent in c(FALSE, TRUE)) {
    table_path <- tempfile("table-", fileext = ".csv")
    run_batch("--design", design_path, "--replicates", "2", "--seed", "55", "--steps", "12",
              "--table", table_path, if (independent) "--independent-seeds")
    theirs <- utils::read.csv(table_path)
    ours <- glebix_sweep(design, replicates = 2, seed = 55, steps = 12,
                         independent_seeds = independent)
    expect_equal(names(ours), names(theirs))
    expect_equal(ours, theirs, ignore_attr = TRUE, tolerance = 1e-14)
  }
})

test_that("a bounded plot's trace and table end with the batch tool's emigrants", {
  shape <- c("PlotWidth=20", "PlotHeight=30", "DistInitMode=2", "DispersalSigma=2.5")
  sets <- as.vector(rbind("--set", c(shape, "Edges=bounded")))
  trace_path <- tempfile("glebix-trace-", fileext = ".csv")
  run_batch("--seed", "8", "--steps", "6", sets, "--trace", trace_path)
  ours <- glebix_trace(glebix_step(ready(seed = 8, steps = 6, PlotWidth = 20, PlotHeight = 30,
                                         DistInitMode = 2, DispersalSigma = 2.5,
                                         Edges = "bounded"), 6))
  theirs <- utils::read.csv(trace_path)
  expect_equal(names(ours), names(theirs))
  expect_equal(ours[-1, ], theirs, ignore_attr = TRUE, tolerance = 1e-14)
  expect_gt(sum(ours$emigrants), 0)
  # A design of both edges: the torus runs count 0 in the same column.
  design_path <- tempfile("design-", fileext = ".csv")
  writeLines(c("Edges", "torus", "bounded"), design_path)
  table_path <- tempfile("table-", fileext = ".csv")
  run_batch("--design", design_path, "--replicates", "2", "--seed", "8", "--steps", "6",
            as.vector(rbind("--set", shape)), "--table", table_path)
  ours <- glebix_sweep(data.frame(Edges = c("torus", "bounded")), replicates = 2, seed = 8,
                       steps = 6, PlotWidth = 20, PlotHeight = 30, DistInitMode = 2,
                       DispersalSigma = 2.5)
  theirs <- utils::read.csv(table_path)
  expect_equal(names(ours), names(theirs))
  expect_equal(ours, theirs, ignore_attr = TRUE, tolerance = 1e-14)
  expect_equal(sum(ours$emigrants[ours$Edges == "torus"]), 0)
  # Neither bounded nor varying the edges: the columns stay those of the torus.
  expect_false("emigrants" %in% names(glebix_run(steps = 1, seed = 8)))
})

test_that("a habitat mask gives the batch tool's result file", {
  habitat <- tempfile("habitat-", fileext = ".asc")
  cells <- matrix(1L, 50, 50)
  cells[20, ] <- 0L
  cells[, 10] <- -1L
  writeLines(c("ncols 50", "nrows 50", "xllcorner 0", "yllcorner 0", "cellsize 1", "nodata_value -1",
               apply(cells, 1, paste, collapse = " ")), habitat)
  out <- tempfile("glebix-batch-")
  run_batch("--seed", "21", "--steps", "10", "--set", "DistInitMode=1", "--set",
            paste0("HabitatFilePath=", habitat), "--out", out)
  sim <- glebix_step(ready(seed = 21, steps = 10, DistInitMode = 1L, HabitatFilePath = habitat), 10)
  mine <- tempfile("glebix-r-")
  dir.create(mine)
  ours <- glebix_write_result_file(sim, mine)
  expect_identical(readBin(ours, "raw", 1e6), readBin(file.path(out, "RireVed1a1p1.txt"), "raw", 1e6))
})
