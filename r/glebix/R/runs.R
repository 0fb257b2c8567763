# Many runs at once: replicates of one set of settings, and sweeps over a design.

glebix_run <- function(steps = 300, seed = NULL, replicates = 1, cores = 0, ...,
                       species = NULL, threads = NULL, table_every = NULL,
                       table_metrics = character(), habitat = NULL, maps = NULL, events = NULL,
                       stop_when = NULL) {
  call <- sys.call()
  dots <- extension_settings(list(...), habitat, maps, events, call)
  run_points(NULL, NULL, replicates, seed, steps, cores, FALSE, dots, species, threads,
             call, table_argument(table_every, table_metrics, call),
             stop_rules_argument(stop_when, call))
}

# glebix-batch's --stop-when rules as texts (none: character()), checked by the core
# before anything runs.
stop_rules_argument <- function(rules, call) {
  if (is.null(rules)) return(character())
  if (!is.character(rules) || anyNA(rules)) {
    gx_stop(gx_message("r.stop_when"), setting = "stop_when", call = call)
  }
  rules <- enc2utf8(rules)
  gx_call(gx_check_stop_rules, rules, call = call)
  rules
}

# glebix-batch's --table-every and --table-metric as the core takes them: the text of
# the steps kept ("" for all) and the metrics' names; the core checks both.
table_argument <- function(every, metrics, call) {
  if (!is.null(every) && (length(every) != 1 || is.na(every))) {
    gx_stop(gx_message("option.bad_table_every", "table_every", paste(every, collapse = " ")),
            setting = "table_every", call = call)
  }
  if (!is.character(metrics) || anyNA(metrics)) {
    gx_stop(gx_message("r.metrics"), setting = "table_metrics", call = call)
  }
  every <- if (is.null(every)) "" else if (is.numeric(every)) format(every, scientific = FALSE) else
    as.character(every)
  list(every = every, metrics = metrics)
}

glebix_sweep <- function(design, replicates = 1, seed = NULL, steps = 300, cores = 0,
                         independent_seeds = FALSE, ..., species = NULL, threads = NULL,
                         points = NULL, table_every = NULL, table_metrics = character(),
                         metric_functions = list(), habitat = NULL, maps = NULL, events = NULL,
                         stop_when = NULL) {
  call <- sys.call()
  dots <- extension_settings(list(...), habitat, maps, events, call)
  rules <- stop_rules_argument(stop_when, call)
  table <- table_argument(table_every, table_metrics, call)
  check_metric_functions(metric_functions, call)
  if (!is.data.frame(design) || nrow(design) < 1 || ncol(design) < 1) {
    gx_stop(gx_message("r.design_type"), call = call)
  }
  if (!is.logical(independent_seeds) || length(independent_seeds) != 1 ||
      is.na(independent_seeds)) {
    gx_stop(gx_message("r.independent_seeds"), call = call)
  }
  if (!is.null(points)) {
    if (!is.numeric(points) || !length(points) || anyNA(points) || any(points != trunc(points)) ||
        any(points < 1 | points > nrow(design)) || anyDuplicated(points)) {
      gx_stop(gx_message("r.points", nrow(design)), setting = "points", call = call)
    }
    points <- sort(as.integer(points))
  }
  if (!length(metric_functions)) {
    return(run_points(design, points, replicates, seed, steps, cores, independent_seeds,
                      dots, species, threads, call, table, rules))
  }
  # A metric function sees every step of its run: the runs keep them all, and the table
  # is thinned once the functions have their values.
  every <- table$every
  table$every <- ""
  result <- run_points(design, points, replicates, seed, steps, cores, independent_seeds,
                       dots, species, threads, call, table, rules)
  with_metric_functions(result, metric_functions, every, call)
}

# Runs the selected points of `design` (all when NULL; a single point without design).
run_points <- function(design, selected, replicates, seed, steps, cores, independent, dots,
                       species, threads, call, table = list(every = "", metrics = character()),
                       rules = character()) {
  settings <- dots_settings(dots, call)
  replicates <- count_argument(replicates, "replicates", 1, call)
  seed <- seed_argument(seed, call)
  steps <- count_argument(steps, "steps", 0, call)
  cores <- cores_argument(cores, call)
  species <- path_argument(species, "species", call)
  points <- if (is.null(design)) 1 else nrow(design)
  if (is.null(selected)) selected <- seq_len(points)
  # In doubles: the products of R integers overflow to NA.
  if (as.numeric(points) * replicates > .Machine$integer.max) {
    gx_stop(gx_message("r.too_many_runs"), call = call)
  }
  if (as.numeric(length(selected)) * replicates * (steps + 1) > .Machine$integer.max) {
    gx_stop(gx_message("r.too_many_rows"), call = call)
  }
  texts <- if (is.null(design)) {
    matrix(NA_character_, 1, 0)
  } else {
    setting_matrix(design, function(row) gx_message("r.design_row", row), call)
  }
  on_future <- use_future()
  # Each run's dispersal threads: those asked for, else 0, for the core's rule to share
  # the processors between the runs at once; on a future plan every run is a task, and
  # the core's rule for a task decides.
  threads <- if (is.null(threads)) 0L else threads_argument(threads, call)
  if (on_future) threads <- .Call(gx_task_threads, threads)
  gx_warn(gx_call(gx_run_warnings, species, settings$names, settings$values,
                  colnames(texts) %||% character(), texts, selected, call = call), call)
  # The runs as they end, to progressr when it is installed: shown within
  # progressr::with_progress(), ignored otherwise.
  report <- if (requireNamespace("progressr", quietly = TRUE)) {
    tick <- progressr::progressor(steps = length(selected) * replicates)
    function(ended) tick(amount = ended)
  }
  run_many <- function(points, only = integer(), cores = 1L) {
    gx_call(gx_run_many, species, settings$names, settings$values,
            colnames(texts) %||% character(), texts, points, replicates, as.integer(only), seed,
            independent, steps, cores, as.integer(threads), report, table$every, table$metrics,
            rules, call = call)
  }
  columns <- if (on_future) {
    run_on_future(run_many, selected, replicates)
  } else {
    run_many(selected, cores = cores)
  }
  failures <- attr(columns, "failures")
  used <- attr(columns, "used")
  attr(columns, "failures") <- NULL
  attr(columns, "used") <- NULL
  if (!is.null(design)) {
    at <- match("step", names(columns))
    # The value each run used where the design says NA; flags as the batch tool's table
    # writes them.
    kinds <- glebix_settings()$kind[match(names(design), setting_names())]
    chosen <- lapply(seq_along(design), function(k) {
      column <- fill_missing(design[[k]], used[, k], kinds[k])
      if (is.logical(column)) column <- setting_texts(column)
      column[columns$point]
    })
    names(chosen) <- names(design)
    columns <- c(columns[seq_len(at - 1)], chosen, columns[at:length(columns)])
  }
  result <- as_data_frame(columns)
  attr(result, "master_seed") <- seed
  if (length(failures)) {
    f <- failures[[1]]
    prefix <- gx_message("r.failed_run", f$point, f$replicate, format(f$seed, scientific = FALSE))
    condition <- failure_condition(f, call = call, prefix = prefix)
    if (length(failures) > 1) {
      condition$message <- paste0(condition$message,
                                  gx_message("study.other_failures", length(failures) - 1))
    }
    condition$result <- result
    stop(condition)
  }
  result
}

`%||%` <- function(a, b) if (is.null(a)) b else a

# A design column with each NA replaced by the value the point's runs used (`used`,
# the setting's texts), as the batch tool's table shows it: numbers for numeric kinds,
# TRUE / FALSE for a flag, texts for a path or in a column of texts.
fill_missing <- function(column, used, kind) {
  if (is.factor(column)) column <- as.character(column)
  missing <- is.na(column)
  if (!any(missing)) return(column)
  if (is.character(column) || kind == "path") {
    column[missing] <- used[missing]
    return(column)
  }
  typed <- if (kind == "flag") {
    used == "on"
  } else if (startsWith(kind, "real")) {
    as.numeric(used)
  } else {
    as.integer(used)
  }
  if (all(missing)) return(typed)
  column[missing] <- typed[missing]
  column
}
