# One simulation driven step by step.

glebix_simulation <- function(seed = NULL, steps = 300, threads = 0, species = NULL, ...,
                              replicate = NULL, stop_when = NULL, habitat = NULL, maps = NULL,
                              events = NULL) {
  call <- sys.call()
  settings <- dots_settings(extension_settings(list(...), habitat, maps, events, call), call)
  rules <- stop_rules_argument(stop_when, call)
  if (!is.null(replicate) && is.null(seed)) {
    gx_stop(gx_message("replicate.needs_seed"), setting = "replicate", call = call)
  }
  seed <- seed_argument(seed, call)
  master <- NA_real_
  if (!is.null(replicate)) {
    master <- seed
    seed <- .Call(gx_replicate_seed, seed, count_argument(replicate, "replicate", 1, call))
  }
  steps <- count_argument(steps, "steps", 0, call)
  threads <- threads_argument(threads, call)
  species <- path_argument(species, "species", call)
  handle <- gx_call(gx_new, species, settings$names, settings$values, steps, threads, seed,
                    master, call = call)
  if (length(rules)) gx_call(gx_stop_when, handle, rules, call = call)
  gx_warn(gx_call(gx_run_warnings, species, settings$names, settings$values, character(),
                  matrix(NA_character_, 1, 0), 1L, call = call), call)
  structure(list(handle = handle), class = "glebix_simulation")
}

handle_of <- function(sim, call) {
  if (!inherits(sim, "glebix_simulation")) {
    gx_stop(gx_message("r.not_simulation"), call = call)
  }
  sim$handle
}

glebix_setup <- function(sim) {
  gx_call(gx_setup, handle_of(sim, sys.call()))
  invisible(sim)
}

glebix_step <- function(sim, n = 1) {
  call <- sys.call()
  handle <- handle_of(sim, call)
  gx_call(gx_step, handle, count_argument(n, "n", 0, call))
  invisible(sim)
}

glebix_density <- function(sim) gx_call(gx_density, handle_of(sim, sys.call()))

glebix_compacted <- function(sim) gx_call(gx_shares, handle_of(sim, sys.call()), TRUE)

glebix_decompacted <- function(sim) gx_call(gx_shares, handle_of(sim, sys.call()), FALSE)

glebix_trace <- function(sim) as_data_frame(gx_call(gx_trace, handle_of(sim, sys.call())))

# glebix-batch's --stop-when rules, which the core checks.
stop_when_argument <- function(handle, rules, call) {
  if (is.null(rules)) return(invisible())
  gx_call(gx_stop_when, handle, stop_rules_argument(rules, call), call = call)
}

glebix_stopped_by <- function(sim) gx_call(gx_info, handle_of(sim, sys.call()))$stopped_by

glebix_seed <- function(sim) gx_call(gx_info, handle_of(sim, sys.call()))$seed

glebix_write_result_file <- function(sim, directory) {
  call <- sys.call()
  handle <- handle_of(sim, call)
  directory <- path_argument(directory, "directory", call)
  invisible(gx_call(gx_write_result_file, handle, directory))
}

glebix_save_state <- function(sim, path) {
  call <- sys.call()
  handle <- handle_of(sim, call)
  path <- path_argument(path, "path", call)
  gx_call(gx_save_state, handle, path)
  invisible(path)
}

glebix_resume <- function(path, steps = NULL, threads = 0, ..., stop_when = NULL) {
  call <- sys.call()
  settings <- dots_settings(list(...), call)
  path <- path_argument(path, "path", call)
  steps <- if (is.null(steps)) NA_integer_ else count_argument(steps, "steps", 0, call)
  threads <- threads_argument(threads, call)
  handle <- gx_call(gx_resume, path, settings$names, settings$values, steps, threads,
                    call = call)
  stop_when_argument(handle, stop_when, call)
  structure(list(handle = handle), class = "glebix_simulation")
}

glebix_write_asc <- function(sim, directory) {
  call <- sys.call()
  handle <- handle_of(sim, call)
  directory <- path_argument(directory, "directory", call)
  invisible(gx_call(gx_write_asc, handle, directory))
}

glebix_animate <- function(sim, path, every = 10, style = "window", cell_size = NULL,
                           fps = 10) {
  call <- sys.call()
  handle <- handle_of(sim, call)
  path <- path_argument(path, "path", call)
  every <- count_argument(every, "every", 1, call)
  if (!is.character(style) || length(style) != 1 || is.na(style)) {
    gx_stop(gx_message("r.style"), setting = "style", call = call)
  }
  cell_size <- if (is.null(cell_size)) NA_integer_ else count_argument(cell_size, "cell_size", 1, call)
  fps <- count_argument(fps, "fps", 1, call)
  gx_call(gx_animate, handle, path, every, style, cell_size, fps, call = call)
  invisible(sim)
}

glebix_end_animation <- function(sim) {
  invisible(gx_call(gx_end_animation, handle_of(sim, sys.call())))
}

print.glebix_simulation <- function(x, ...) {
  info <- gx_call(gx_info, x$handle)
  state <- if (info$set_up) {
    gx_message("r.print_step", info$step, info$steps)
  } else {
    gx_message("r.print_not_set_up", info$steps)
  }
  cat(gx_message("r.print", format(info$seed, scientific = FALSE), state), "\n", sep = "")
  invisible(x)
}

# A list of equal-length columns as a data.frame, without copying them.
as_data_frame <- function(columns) {
  n <- if (length(columns)) length(columns[[1]]) else 0L
  structure(columns, class = "data.frame", row.names = .set_row_names(n))
}
