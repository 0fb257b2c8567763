# Many runs at once: replicates of one set of settings, and sweeps over a design.

glebix_run <- function(steps = 300, seed = NULL, replicates = 1, cores = 1, ...,
                       species = NULL, threads = NULL) {
  run_points(NULL, replicates, seed, steps, cores, FALSE, list(...), species, threads,
             sys.call())
}

glebix_sweep <- function(design, replicates = 1, seed = NULL, steps = 300, cores = 1,
                         independent_seeds = FALSE, ..., species = NULL, threads = NULL) {
  call <- sys.call()
  if (!is.data.frame(design) || nrow(design) < 1 || ncol(design) < 1) {
    gx_stop(paste0("design : un data.frame d'au moins une ligne est attendu, ",
                   "dont les colonnes sont des noms de param\u00e8tres"), call = call)
  }
  if (!is.logical(independent_seeds) || length(independent_seeds) != 1 ||
      is.na(independent_seeds)) {
    gx_stop("independent_seeds : TRUE ou FALSE est attendu", call = call)
  }
  run_points(design, replicates, seed, steps, cores, independent_seeds, list(...), species,
             threads, call)
}

run_points <- function(design, replicates, seed, steps, cores, independent, dots, species,
                       threads, call) {
  settings <- dots_settings(dots, call)
  replicates <- count_argument(replicates, "replicates", 1, call)
  seed <- seed_argument(seed, call)
  steps <- count_argument(steps, "steps", 0, call)
  cores <- count_argument(cores, "cores", 1, call)
  species <- path_argument(species, "species", call)
  points <- if (is.null(design)) 1 else nrow(design)
  if (points * replicates > .Machine$integer.max) {
    gx_stop("trop de simulations : points \u00d7 replicates d\u00e9passe 2^31 - 1", call = call)
  }
  texts <- if (is.null(design)) {
    matrix(NA_character_, 1, 0)
  } else {
    setting_matrix(design, function(row) paste0("design, ligne ", row, " : "), call)
  }
  # The processors left to each run's dispersal pass when `cores` runs go at once.
  runs_at_once <- min(cores, points * replicates)
  threads <- if (is.null(threads)) {
    max(1L, cores %/% runs_at_once)
  } else {
    count_argument(threads, "threads", 0, call)
  }
  columns <- gx_call(gx_run_many, species, settings$names, settings$values,
                     colnames(texts) %||% character(), texts, replicates, seed,
                     independent, steps, cores, as.integer(threads))
  failures <- attr(columns, "failures")
  attr(columns, "failures") <- NULL
  if (!is.null(design)) {
    at <- match("step", names(columns))
    chosen <- lapply(design, function(column) column[columns$point])
    columns <- c(columns[seq_len(at - 1)], chosen, columns[at:length(columns)])
  }
  result <- as_data_frame(columns)
  if (length(failures)) {
    f <- failures[[1]]
    prefix <- paste0("point ", f$point, ", simulation ", f$replicate, " (graine ",
                     format(f$seed, scientific = FALSE), ") : ")
    condition <- failure_condition(f, call = call, prefix = prefix)
    if (length(failures) > 1) {
      condition$message <- paste0(condition$message, " (et ", length(failures) - 1,
                                  " autre(s) simulation(s) en erreur)")
    }
    condition$result <- result
    stop(condition)
  }
  result
}

`%||%` <- function(a, b) if (is.null(a)) b else a
