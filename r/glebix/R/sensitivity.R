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

# The factors as the core takes them: a factors file's path, or rows (names, lows,
# highs, scales) from a data.frame name, low, high[, scale] or a named list of
# c(low, high) or list(low, high, scale); the core checks them as a file's lines.
factors_argument <- function(factors, call) {
  if (is.character(factors) && length(factors) == 1) {
    return(list(path = path_argument(factors, "factors", call), rows = NULL))
  }
  rows <- if (is.data.frame(factors) && all(c("name", "low", "high") %in% names(factors))) {
    scale <- if ("scale" %in% names(factors)) factors$scale else rep("", nrow(factors))
    list(factors$name, factors$low, factors$high, scale)
  } else if (is.list(factors) && !is.data.frame(factors) && length(factors) &&
             !is.null(names(factors)) && all(lengths(factors) %in% c(2, 3))) {
    part <- function(k) lapply(factors, function(f) if (length(f) >= k) f[[k]] else "")
    list(names(factors), unlist(part(1)), unlist(part(2)), unlist(part(3)))
  } else {
    gx_stop(gx_message("r.factors"), setting = "factors", call = call)
  }
  texts <- function(x) ifelse(is.na(x), "", as.character(x))
  # A bound that is no number is NA, which the core refuses naming the factor.
  bounds <- function(x) suppressWarnings(as.numeric(x))
  list(path = "", rows = list(texts(rows[[1]]), bounds(rows[[2]]), bounds(rows[[3]]),
                              texts(rows[[4]])))
}

# The columns the core made as a data.frame, with the names as given.
made_frame <- function(columns) {
  as.data.frame(columns, stringsAsFactors = FALSE, check.names = FALSE, optional = TRUE)
}

glebix_sample <- function(method, factors, design_out = NULL, seed, samples = 0, levels = 4,
                          pool = 0) {
  call <- sys.call()
  if (missing(seed)) {
    gx_stop(gx_message("binding.seed_needed", "glebix_sample"), setting = "seed", call = call)
  }
  method <- method_argument(method, call)
  factors <- factors_argument(factors, call)
  design_out <- path_argument(design_out, "design_out", call)
  seed <- seed_argument(seed, call)
  samples <- if (identical(samples, 0)) 0L else count_argument(samples, "samples", 1, call)
  levels <- count_argument(levels, "levels", 2, call)
  pool <- if (identical(pool, 0)) 0L else count_argument(pool, "pool", 1, call)
  design <- made_frame(gx_call(gx_sample, factors$path, factors$rows, method, samples, seed,
                               levels, pool, design_out, call = call))
  cbind(data.frame(point = seq_len(nrow(design))), design)
}

glebix_analyse <- function(table, factors, method, metrics, indices = NULL, seed, bootstrap = 1000,
                           at_step = NULL, every_step = FALSE, max_dropped = 0.05,
                           quiet = FALSE, figure = NULL) {
  call <- sys.call()
  if (missing(seed)) {
    gx_stop(gx_message("binding.seed_needed", "glebix_analyse"), setting = "seed", call = call)
  }
  method <- method_argument(method, call)
  table_text <- NULL
  if (is.data.frame(table)) {
    table_text <- paste0(table_lines(table), "\n", collapse = "")
    table <- ""
  } else if (is.character(table) && length(table) == 1) {
    table <- path_argument(table, "table", call)
  } else {
    gx_stop(gx_message("r.table"), setting = "table", call = call)
  }
  factors <- factors_argument(factors, call)
  indices <- path_argument(indices, "indices", call)
  figure <- path_argument(figure, "figure", call)
  if (!is.character(metrics) || length(metrics) == 0 || anyNA(metrics)) {
    gx_stop(gx_message("r.metrics"), setting = "metrics", call = call)
  }
  seed <- seed_argument(seed, call)
  bootstrap <- if (identical(bootstrap, 0)) 0L else count_argument(bootstrap, "bootstrap", 1, call)
  at_step <- if (is.null(at_step)) NA_integer_ else count_argument(at_step, "at_step", 0, call)
  outcome <- gx_call(gx_analyse, table, table_text, factors$path, factors$rows, method, metrics,
                     seed, bootstrap, at_step, isTRUE(every_step), as.numeric(max_dropped),
                     indices, figure, call = call)
  if (!isTRUE(quiet)) for (note in outcome$notes) message(note)
  gx_warn(outcome$warnings, call)
  made_frame(outcome$columns)
}

# The observed grids as the texts of glebix-batch --observed-grid: a named vector or
# list (names the steps, or "compacted@10") of paths, or "[FIELD@]STEP:FILE" texts.
grid_texts <- function(observed_grids) {
  if (is.null(observed_grids)) return(character())
  paths <- vapply(observed_grids, as.character, "")
  if (is.null(names(observed_grids))) return(unname(paths))
  paste0(names(observed_grids), ":", paths)
}

glebix_calibrate <- function(factors, observed, out, seed, samples, method = "abc-rejection",
                             accept = 0.1, replicates = 1, steps = 300, cores = 0, ...,
                             quiet = FALSE,
                             observed_grids = NULL,
                             grid_compare = "summaries",
                             figure = NULL,
                             species = NULL,
                             prior_sample = NULL) {
  call <- sys.call()
  method <- method_argument(method, call)
  factors <- factors_argument(factors, call)
  observed <- path_argument(observed, "observed", call)
  out <- path_argument(out, "out", call)
  seed <- seed_argument(seed, call)
  samples <- count_argument(samples, "samples", 1, call)
  replicates <- count_argument(replicates, "replicates", 1, call)
  steps <- count_argument(steps, "steps", 0, call)
  cores <- cores_argument(cores, call)
  settings <- dots_settings(list(...), call)
  grids <- grid_texts(observed_grids)
  figure <- if (is.null(figure)) "" else path_argument(figure, "figure", call)
  species <- path_argument(species, "species", call)
  unit <- list(factors$path, factors$rows, observed, seed, steps, settings$names,
               settings$values, grids, as.character(grid_compare), species)
  run_batch <- if (use_future()) function(runs) calibration_on_future(unit, runs)
  outcome <- gx_call(gx_calibrate, factors$path, factors$rows, observed, out, method, samples,
                     as.numeric(accept),
                     replicates, seed, cores, steps, settings$names, settings$values,
                     grids, as.character(grid_compare), figure, species, run_batch,
                     if (is.null(prior_sample)) "" else as.character(prior_sample), call = call)
  if (!isTRUE(quiet)) for (note in outcome$notes) message(note)
  read.csv(file.path(out, "posterior.csv"))
}

glebix_explore <- function(factors, method, metrics, folder, seed, samples = 0, levels = 4,
                           pool = 0, replicates = 1, steps = 300, bootstrap = 1000, cores = 0,
                           ..., quiet = FALSE, metric_functions = list()) {
  call <- sys.call()
  folder <- path_argument(folder, "folder", call)
  if (!is.character(metrics) || length(metrics) == 0 || anyNA(metrics)) {
    gx_stop(gx_message("r.metrics"), setting = "metrics", call = call)
  }
  check_metric_functions(metric_functions, call)
  dir.create(folder, showWarnings = FALSE, recursive = TRUE)
  glebix_sample(method, factors, file.path(folder, "plan.csv"), seed = seed, samples = samples,
                levels = levels, pool = pool)
  points <- utils::read.csv(file.path(folder, "plan.csv"), colClasses = "character",
                            check.names = FALSE)
  asked <- setdiff(metrics, names(metric_functions))
  recorded <- vapply(asked, function(m) .Call(gx_is_recorded_metric, m), logical(1))
  table <- glebix_sweep(points, replicates = replicates, seed = seed, steps = steps,
                        cores = cores, ..., table_every = "last",
                        table_metrics = asked[recorded], metric_functions = metric_functions)
  write_table(table, file.path(folder, "runs.csv"))
  glebix_analyse(file.path(folder, "runs.csv"), factors, method, metrics,
                 file.path(folder, "indices.csv"), seed = seed, bootstrap = bootstrap,
                 quiet = quiet)
}

check_metric_functions <- function(functions, call) {
  named <- is.list(functions) && (!length(functions) || (!is.null(names(functions)) &&
    all(nzchar(names(functions))) && !anyDuplicated(names(functions))))
  if (!named || !all(vapply(functions, is.function, logical(1)))) {
    gx_stop(gx_message("r.metric_function", "metric_functions"), setting = "metric_functions",
            call = call)
  }
}

# The table of every step with a column per metric function, its value for the run's
# rows in step order on each of them (as a run metric's), then thinned by `every` as
# glebix-batch --table-every thins a table.
with_metric_functions <- function(table, functions, every, call) {
  master_seed <- attr(table, "master_seed")
  run <- if ("replicate" %in% names(table)) paste(table$point, table$replicate) else table$point
  runs <- split(seq_len(nrow(table)), factor(run, levels = unique(run)))
  for (name in names(functions)) {
    if (name %in% names(table)) {
      gx_stop(gx_message("r.metric_function_column", name), setting = name, call = call)
    }
    values <- vapply(runs, function(rows) {
      value <- functions[[name]](table[rows[order(table$step[rows])], , drop = FALSE])
      if (!is.numeric(value) || length(value) != 1) {
        gx_stop(gx_message("r.metric_function", name), setting = name, call = call)
      }
      as.numeric(value)
    }, numeric(1))
    table[[name]] <- unname(values[match(run, names(runs))])
  }
  last <- vapply(runs, function(rows) max(table$step[rows]), numeric(1))
  last <- unname(last[match(run, names(runs))])
  kept <- gx_call(gx_table_steps_kept, as.integer(table$step), every, as.integer(last), call = call)
  table <- table[kept, , drop = FALSE]
  rownames(table) <- NULL
  attr(table, "master_seed") <- master_seed
  table
}

# A table as CSV lines with its reals in the shortest form that reads back the same, as
# the batch tool writes them; NA as NA.
table_lines <- function(table) {
  texts <- lapply(table, function(column) {
    text <- if (is.double(column)) gx_format(column) else csv_fields(as.character(column))
    text[is.na(column)] <- "NA"
    text
  })
  c(paste(csv_fields(names(table)), collapse = ","), do.call(paste, c(texts, sep = ",")))
}

# Texts as CSV fields: within quotes (doubled inside) when they hold a comma, a quote or
# a line end, or start with '#', which the core's reader would take for a comment.
csv_fields <- function(text) {
  quoted <- !is.na(text) & grepl("[,\"\n\r]|^#", text)
  text[quoted] <- paste0("\"", gsub("\"", "\"\"", text[quoted], fixed = TRUE), "\"")
  text
}

write_table <- function(table, path) {
  writeLines(table_lines(table), path, useBytes = TRUE)
}
