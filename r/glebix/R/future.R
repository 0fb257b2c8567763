# The runs of a study on the workers of the plan chosen with future::plan(): local R
# sessions, a cluster's machines or a scheduler's jobs.

# TRUE when the user chose a plan other than the sequential one and future.apply is
# installed. The future package is not loaded for it: a plan was chosen only if the
# user loaded it.
use_future <- function() {
  isNamespaceLoaded("future") && !inherits(future::plan(), "sequential") &&
    requireNamespace("future.apply", quietly = TRUE)
}

# The columns of every run of the points `selected`, `replicates` each, one future per
# run: `run_many(point, replicate)` gives a run's columns with the seed the whole study
# gives it. Bound in the core's order of a study's runs, as one local call returns them.
run_on_future <- function(run_many, selected, replicates) {
  runs <- .Call(gx_study_runs, as.integer(selected), as.integer(replicates))
  parts <- future.apply::future_lapply(seq_along(runs$point), function(k) {
    run_many(runs$point[k], runs$replicate[k])
  }, future.seed = FALSE)
  columns <- lapply(seq_along(parts[[1]]), function(k) {
    unlist(lapply(parts, `[[`, k), use.names = FALSE)
  })
  names(columns) <- names(parts[[1]])
  attr(columns, "used") <- attr(parts[[1]], "used")
  attr(columns, "failures") <- do.call(c, lapply(parts, attr, "failures"))
  columns
}

# Each run of a calibration's batch `runs` (as the core hands them over), one future per
# run: `unit` the arguments every run shares, as gx_calibration_run takes them. Each
# run's summaries, NULL for a run that faulted, in the batch's order.
calibration_on_future <- function(unit, runs) {
  future.apply::future_lapply(runs, function(run) calibration_run(unit, run),
                              future.seed = FALSE)
}

calibration_run <- function(unit, run) {
  do.call(gx_call, c(list(gx_calibration_run), unit, list(run), list(call = NULL)))
}
