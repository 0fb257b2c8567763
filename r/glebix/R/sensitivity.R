# Sensitivity analysis: a factors file sampled into a design file, and a table of
# results analysed into an indices file, by the core, as glebix-batch --sample and
# --analyse write them.

method_argument <- function(method, call) {
  if (!is.character(method) || length(method) != 1 || is.na(method)) {
    gx_stop(gx_message("python.bad_method", "method", describe_value(method)),
            setting = "method", call = call)
  }
  method
}

glebix_sample <- function(method, factors, design_out, seed, samples = 0, levels = 4, pool = 0) {
  call <- sys.call()
  method <- method_argument(method, call)
  factors <- path_argument(factors, "factors", call)
  design_out <- path_argument(design_out, "design_out", call)
  seed <- seed_argument(seed, call)
  samples <- if (identical(samples, 0)) 0L else count_argument(samples, "samples", 1, call)
  levels <- count_argument(levels, "levels", 2, call)
  pool <- if (identical(pool, 0)) 0L else count_argument(pool, "pool", 1, call)
  gx_call(gx_write_design, factors, method, samples, seed, levels, pool, design_out, call = call)
  invisible(design_out)
}

glebix_analyse <- function(table, factors, method, metrics, indices, seed, bootstrap = 1000,
                           at_step = NULL, every_step = FALSE, max_dropped = 0.05,
                           quiet = FALSE) {
  call <- sys.call()
  method <- method_argument(method, call)
  table <- path_argument(table, "table", call)
  factors <- path_argument(factors, "factors", call)
  indices <- path_argument(indices, "indices", call)
  if (!is.character(metrics) || length(metrics) == 0 || anyNA(metrics)) {
    gx_stop(gx_message("r.metrics"), setting = "metrics", call = call)
  }
  seed <- seed_argument(seed, call)
  bootstrap <- if (identical(bootstrap, 0)) 0L else count_argument(bootstrap, "bootstrap", 1, call)
  at_step <- if (is.null(at_step)) NA_integer_ else count_argument(at_step, "at_step", 0, call)
  outcome <- gx_call(gx_write_indices, table, factors, method, metrics, seed, bootstrap, at_step,
                     isTRUE(every_step), as.numeric(max_dropped), indices, call = call)
  if (!isTRUE(quiet)) for (note in outcome$notes) message(note)
  gx_warn(outcome$warnings, call)
  invisible(indices)
}

# The observed grids as the texts of glebix-batch --observed-grid: a named vector or
# list (names the steps, or "compacted@10") of paths, or "[FIELD@]STEP:FILE" texts.
grid_specs <- function(observed_grids) {
  if (is.null(observed_grids)) return(character())
  paths <- vapply(observed_grids, as.character, "")
  if (is.null(names(observed_grids))) return(unname(paths))
  paste0(names(observed_grids), ":", paths)
}

glebix_calibrate <- function(factors, observed, out, seed, samples, method = "abc-rejection",
                             accept = 0.1, replicates = 1, steps = 300, cores = 1, ...,
                             quiet = FALSE,
                             observed_grids = NULL,
                             grid_compare = "summaries",
                             figure = NULL) {
  call <- sys.call()
  method <- method_argument(method, call)
  factors <- path_argument(factors, "factors", call)
  observed <- path_argument(observed, "observed", call)
  out <- path_argument(out, "out", call)
  seed <- seed_argument(seed, call)
  samples <- count_argument(samples, "samples", 1, call)
  replicates <- count_argument(replicates, "replicates", 1, call)
  steps <- count_argument(steps, "steps", 0, call)
  cores <- cores_argument(cores, call)
  settings <- dots_settings(list(...), call)
  grids <- grid_specs(observed_grids)
  figure <- if (is.null(figure)) "" else path_argument(figure, "figure", call)
  outcome <- gx_call(gx_calibrate, factors, observed, out, method, samples, as.numeric(accept),
                     replicates, seed, cores, steps, settings$names, settings$values,
                     grids, as.character(grid_compare), figure, call = call)
  if (!isTRUE(quiet)) for (note in outcome$notes) message(note)
  read.csv(file.path(out, "posterior.csv"))
}

glebix_explore <- function(factors, method, metrics, folder, seed, samples = 0, levels = 4,
                           pool = 0, replicates = 1, steps = 300, bootstrap = 1000, cores = 1,
                           ..., quiet = FALSE) {
  call <- sys.call()
  folder <- path_argument(folder, "folder", call)
  if (!is.character(metrics) || length(metrics) == 0 || anyNA(metrics)) {
    gx_stop(gx_message("r.metrics"), setting = "metrics", call = call)
  }
  dir.create(folder, showWarnings = FALSE, recursive = TRUE)
  design <- glebix_sample(method, factors, file.path(folder, "plan.csv"), seed = seed,
                          samples = samples, levels = levels, pool = pool)
  points <- utils::read.csv(design, colClasses = "character", check.names = FALSE)
  recorded <- vapply(metrics, function(m) .Call(gx_is_recorded_metric, m), logical(1))
  table <- glebix_sweep(points, replicates = replicates, seed = seed, steps = steps,
                        cores = cores, ..., table_every = "last",
                        table_metrics = metrics[recorded])
  write_table(table, file.path(folder, "runs.csv"))
  glebix_analyse(file.path(folder, "runs.csv"), factors, method, metrics,
                 file.path(folder, "indices.csv"), seed = seed, bootstrap = bootstrap,
                 quiet = quiet)
}

# A table as CSV with its reals in the shortest form that reads back the same, as the
# batch tool writes them; NA as NA.
write_table <- function(table, path) {
  texts <- lapply(table, function(column) {
    text <- if (is.double(column)) gx_format(column) else as.character(column)
    text[is.na(column)] <- "NA"
    text
  })
  lines <- c(paste(names(table), collapse = ","), do.call(paste, c(texts, sep = ",")))
  writeLines(lines, path, useBytes = TRUE)
}
