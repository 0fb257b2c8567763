# The habitat mask, soil maps and management events given by argument, and stopping
# rules on studies: the same tables as the batch tool's.

# An ESRI ASCII grid of `cells` (a matrix, its first row the grid's top line).
write_grid <- function(cells, name) {
  path <- file.path(tempfile("glebix-"), name)
  dir.create(dirname(path))
  writeLines(c(paste("ncols", ncol(cells)), paste("nrows", nrow(cells)), "xllcorner 0",
               "yllcorner 0", "cellsize 1", "nodata_value -1",
               apply(cells, 1, paste, collapse = " ")), path)
  path
}

# The batch tool's table for `args` is the study's own: its lines as the package writes
# a table, and its columns read back with no tolerance.
expect_batch_table <- function(ours, args) {
  table_path <- tempfile("table-", fileext = ".csv")
  run_batch(args, "--table", table_path)
  expect_identical(glebix:::table_lines(ours), readLines(table_path))
  theirs <- utils::read.csv(table_path, check.names = FALSE)
  attr(ours, "master_seed") <- NULL
  expect_equal(names(ours), names(theirs))
  expect_equal(as.list(ours), as.list(theirs), tolerance = 0)
  invisible(theirs)
}

small_plot <- list(PlotWidth = 20L, PlotHeight = 20L, DistInitMode = 1L)
small_sets <- c("--set", "PlotWidth=20", "--set", "PlotHeight=20", "--set", "DistInitMode=1")

test_that("a sweep with a mask, a soil map and events gives the batch tool's table", {
  habitat <- matrix(1L, 20, 20)
  habitat[, 8:9] <- 0L
  habitat <- write_grid(habitat, "habitat.asc")
  soil <- write_grid(matrix(rep(c(1, 3.5), each = 200), 20, 20), "soil.asc")
  events <- write_lines(c("step,every,action,where,value", "2,3,remove_fauna,all,0.3",
                          "4,,set_compacted,all,80"), "events.csv")
  design_path <- write_lines(c("Survival", "0.4", "0.6"), "design.csv")
  ours <- do.call(glebix_sweep, c(list(data.frame(Survival = c(0.4, 0.6)), replicates = 2,
                                       seed = 31, steps = 8, habitat = habitat,
                                       maps = c(DecompactionD = soil), events = events),
                                  small_plot))
  expect_true("lost" %in% names(ours))
  expect_gt(sum(ours$lost), 0)
  expect_batch_table(ours, c("--design", design_path, "--replicates", "2", "--seed", "31",
                             "--steps", "8", small_sets, "--set",
                             paste0("HabitatFilePath=", habitat), "--map",
                             paste0("DecompactionD=", soil), "--events", events))
  # The arguments are the settings' spellings: the same runs either way, also alone.
  by_setting <- do.call(glebix_sweep, c(list(data.frame(Survival = c(0.4, 0.6)), replicates = 2,
                                             seed = 31, steps = 8, HabitatFilePath = habitat,
                                             DecompactionDMapPath = soil, EventsFilePath = events),
                                        small_plot))
  expect_identical(by_setting, ours)
  expect_false("lost" %in% names(glebix_run(steps = 1, seed = 2, maps = list(CompactionC = soil),
                                            PlotWidth = 20, PlotHeight = 20)))
  # A design column may give each point its own mask: none lost where all is habitat.
  open_field <- write_grid(matrix(1L, 20, 20), "open.asc")
  design_path <- write_lines(c("HabitatFilePath", habitat, open_field), "masks.csv")
  masks <- do.call(glebix_sweep, c(list(data.frame(HabitatFilePath = c(habitat, open_field)),
                                        seed = 5, steps = 6), small_plot))
  expect_batch_table(masks, c("--design", design_path, "--seed", "5", "--steps", "6", small_sets))
  expect_gt(sum(masks$lost[masks$point == 1]), 0)
  expect_equal(sum(masks$lost[masks$point == 2]), 0)
  # A single run's trace has the batch trace's lost column.
  trace_path <- tempfile("trace-", fileext = ".csv")
  run_batch("--seed", "31", "--steps", "8", small_sets, "--set",
            paste0("HabitatFilePath=", habitat), "--trace", trace_path)
  sim <- do.call(glebix_simulation, c(list(seed = 31, steps = 8, habitat = habitat), small_plot))
  ours <- glebix_trace(glebix_step(glebix_setup(sim), 8))
  theirs <- utils::read.csv(trace_path)
  expect_equal(names(ours), names(theirs))
  expect_equal(ours[-1, ], theirs, ignore_attr = TRUE, tolerance = 0)
})

test_that("a sweep stops each run where the batch tool's stopping rules stop it", {
  design_path <- write_lines(c("Survival", "0.05", "0.5"), "design.csv")
  design <- data.frame(Survival = c(0.05, 0.5))
  rules <- c("extinct", "mean_compacted<20")
  batch_args <- c("--design", design_path, "--replicates", "2", "--seed", "12", "--steps", "20",
                  small_sets, "--stop-when", rules[1], "--stop-when", shQuote(rules[2]))
  ours <- do.call(glebix_sweep, c(list(design, replicates = 2, seed = 12, steps = 20,
                                       stop_when = rules), small_plot))
  theirs <- expect_batch_table(ours, batch_args)
  # The rule's row ends the run: the low survival dies out, the other loosens the soil.
  last <- !duplicated(ours[c("point", "replicate")], fromLast = TRUE)
  expect_equal(ours$stopped_by[!last], rep("", sum(!last)))
  expect_equal(ours$stopped_by[last], rep(rules, each = 2))
  expect_true(all(ours$step[last] < 20))
  # Thinned, with run metrics after the rule's column.
  metrics <- c("final_total", "time_mean_total_density@0:4")
  thinned <- do.call(glebix_sweep, c(list(design, replicates = 2, seed = 12, steps = 20,
                                          stop_when = rules, table_every = 3,
                                          table_metrics = metrics), small_plot))
  expect_equal(tail(names(thinned), 3), c("stopped_by", metrics))
  expect_batch_table(thinned, c(batch_args, "--table-every", "3",
                                as.vector(rbind("--table-metric", metrics))))
  # glebix_run takes the same rules.
  runs <- do.call(glebix_run, c(list(steps = 20, seed = 12, replicates = 2, Survival = 0.05,
                                     stop_when = "extinct"), small_plot))
  expect_equal(runs[names(runs) != "Survival"],
               ours[ours$point == 1, names(runs)], ignore_attr = TRUE, tolerance = 0)
})

test_that("on the workers of a future plan, stopped runs give the local table", {
  skip_if_not_installed("future.apply")
  design <- data.frame(Survival = c(0.05, 0.5))
  sweep <- function() {
    do.call(glebix_sweep, c(list(design, replicates = 2, seed = 12, steps = 20,
                                 stop_when = "extinct"), small_plot))
  }
  local <- sweep()
  old <- future::plan(future::multisession, workers = 2)
  on.exit(future::plan(old), add = TRUE)
  expect_identical(sweep(), local)
  # Only the low survival dies out; the other runs reach their last step unstopped.
  last <- !duplicated(local[c("point", "replicate")], fromLast = TRUE)
  expect_equal(local$stopped_by[last], c("extinct", "extinct", "", ""))
  expect_equal(local$step[last][3:4], c(20L, 20L))
})

test_that("bad extension and rule arguments are refused before anything runs", {
  soil <- write_grid(matrix(2, 50, 50), "soil.asc")
  refused <- function(expr, pattern, setting) {
    e <- tryCatch(expr, error = identity)
    expect_s3_class(e, "glebix_error")
    expect_match(conditionMessage(e), pattern)
    expect_equal(e$context$setting, setting)
  }
  refused(glebix_sweep(data.frame(Survival = 0.4), maps = c(Survival = soil)),
          "Survival.*CompactionC, DecompactionD", "maps")
  refused(glebix_run(maps = soil), "maps", "maps")
  refused(glebix_simulation(maps = c(CompactionC = NA_character_)), "maps\\$CompactionC",
          "maps$CompactionC")
  refused(glebix_run(habitat = soil, HabitatFilePath = soil), "habitat.*HabitatFilePath",
          "HabitatFilePath")
  refused(glebix_simulation(events = soil, EventsFilePath = soil), "events.*EventsFilePath",
          "EventsFilePath")
  refused(glebix_sweep(data.frame(Survival = 0.4), maps = c(DecompactionD = soil),
                       DecompactionDMapPath = soil), "maps.*DecompactionDMapPath",
          "DecompactionDMapPath")
  refused(glebix_sweep(data.frame(Survival = 0.4), stop_when = "x<1"), "stop_when", "")
  refused(glebix_run(stop_when = 1), "stop_when", "stop_when")
  # A bad rule is refused before the settings' warnings are given.
  warned <- 0
  e <- withCallingHandlers(
    tryCatch(glebix_sweep(data.frame(Survival = 1.5), stop_when = "total_density<1,5"),
             error = identity),
    warning = function(w) {
      warned <<- warned + 1
      invokeRestart("muffleWarning")
    })
  expect_match(conditionMessage(e), "total_density<1,5", fixed = TRUE)
  expect_equal(warned, 0)
  # A missing file stops the study before its first run, the file named.
  missing <- file.path(tempdir(), "none.csv")
  expect_error(glebix_run(steps = 1, events = missing), basename(missing), class = "glebix_error")
})

test_that("a schedule the batch tool refuses stops a study before its first run", {
  header <- "step,every,action,where,value"
  schedules <- list(late = c(header, "2,,add_compacted,all,10", "9,,add_compacted,all,10"),
                    unknown = c(header, "2,,plough,all,10"),
                    nomask = c(header, "2,,add_compacted,gone.asc,10"))
  for (name in names(schedules)) {
    events <- write_lines(schedules[[name]], paste0(name, ".csv"))
    said <- suppressWarnings(system2(batch_tool(), c("--steps", "4", small_sets, "--events",
                                                     shQuote(events)), stdout = TRUE, stderr = TRUE))
    expect_equal(attr(said, "status"), 2L, info = name)
    for (study in list(function(...) glebix_run(...),
                       function(...) glebix_sweep(data.frame(Survival = 0.5), ...))) {
      e <- tryCatch(do.call(study, c(list(steps = 4L, events = events), small_plot)),
                    error = identity)
      expect_s3_class(e, "glebix_error")
      problem <- sub("^[^:]*: ", "", conditionMessage(e))
      expect_true(any(grepl(problem, said, fixed = TRUE)), info = paste(name, problem))
    }
  }
})

test_that("the time stack takes a deflate level, the batch tool's bounds refused", {
  skip_if_not_installed("terra")
  dir <- tempfile("glebix-")
  dir.create(dir)
  sim <- glebix_simulation(seed = 4, steps = 6)
  plain <- glebix_stack(sim, every = 2, file = file.path(dir, "plain.nc"), deflate = 0)
  packed <- glebix_stack(sim, every = 2, file = file.path(dir, "packed.nc"), deflate = 9)
  expect_equal(unname(terra::values(packed)), unname(terra::values(plain)))
  expect_lt(file.size(file.path(dir, "packed.nc")), file.size(file.path(dir, "plain.nc")))
  for (level in list(10, -1, 2.5, "4", NA, c(1, 2))) {
    e <- tryCatch(glebix_stack(sim, every = 2, file = file.path(dir, "bad.nc"), deflate = level),
                  error = identity)
    expect_s3_class(e, "glebix_error")
    expect_match(conditionMessage(e), "deflate.* 0 .* 9")
  }
  expect_false(file.exists(file.path(dir, "bad.nc")))
  # A run that a rule stops has its stack end at the rule's step.
  sim <- glebix_simulation(seed = 4, steps = 30, Survival = 0.05, stop_when = "extinct")
  stack <- glebix_stack(sim, every = 5, file = file.path(dir, "stopped.nc"))
  last <- tail(glebix_trace(sim)$step, 1)
  expect_lt(last, 30)
  expect_equal(tail(names(stack), 1), paste0("step_", last))
})
