# Checks of the arguments that are not settings.

is_whole_number <- function(x, minimum, maximum) {
  is.numeric(x) && length(x) == 1 && !is.na(x) && is.finite(x) && x == trunc(x) &&
    x >= minimum && x <= maximum
}

# A whole number from `minimum` to 2^31 - 1, as an R integer.
count_argument <- function(x, name, minimum, call = sys.call(-1)) {
  if (inherits(x, "glebix_simulation")) {
    gx_stop(gx_message("r.simulation_not_count", name), setting = name, call = call)
  }
  if (!is_whole_number(x, minimum, .Machine$integer.max)) {
    gx_stop(gx_message("r.not_count", name, describe_value(x), minimum, .Machine$integer.max),
            setting = name, token = describe_value(x), call = call)
  }
  as.integer(x)
}

# Threads of each dispersal pass: from 0 (one per processor) to the engine's bound.
threads_argument <- function(x, call = sys.call(-1)) {
  bounded_count(x, "threads", 0, call)
}

# Runs at once, each on its own thread: from 0 (one per processor, as Python's `jobs`)
# to the same bound.
cores_argument <- function(x, call = sys.call(-1)) {
  bounded_count(x, "cores", 0, call, zero_is_processors = TRUE)
}

bounded_count <- function(x, name, minimum, call, zero_is_processors = FALSE) {
  bound <- .Call(gx_threads_bound, describe_value(x), name)
  if (!is_whole_number(x, minimum, bound$max)) {
    gx_stop(bound$message, setting = name, token = describe_value(x), call = call)
  }
  if (zero_is_processors && x == 0) bound$processors else as.integer(x)
}

# A seed: an unsigned 32-bit whole number; NULL draws one from R's generator, so
# that set.seed() makes the run repeatable.
seed_argument <- function(seed, call = sys.call(-1)) {
  if (is.null(seed)) return(floor(stats::runif(1) * 4294967296))
  if (!is_whole_number(seed, 0, 4294967295)) {
    gx_stop(gx_message("r.bad_seed", describe_value(seed)),
            setting = "seed", token = describe_value(seed), call = call)
  }
  as.numeric(seed)
}

# A file path, or "" for none.
path_argument <- function(path, name, call = sys.call(-1)) {
  if (is.null(path)) return("")
  if (!is.character(path) || length(path) != 1 || is.na(path) || !nzchar(path)) {
    gx_stop(gx_message("r.path_expected", name), setting = name,
            call = call)
  }
  enc2native(path.expand(path))
}

describe_value <- function(x) {
  if (is.null(x)) return("NULL")
  if (length(x) != 1) return(gx_message("r.values", length(x)))
  if (is.numeric(x)) return(gx_format(as.numeric(x)))
  as.character(x)
}

gx_format <- function(x) .Call(gx_format_reals, x)

# The model's extensions given by argument, added to the settings of `...` (`dots`)
# under their settings' names, as the core names them: `habitat`, `maps` (the soil map
# of each setting that names it) and `events`. A setting given both ways is refused.
extension_settings <- function(dots, habitat, maps, events, call) {
  named <- .Call(gx_extension_settings)
  given <- list()
  if (!is.null(habitat)) given[[named[["habitat"]]]] <- path_argument(habitat, "habitat", call)
  if (!is.null(maps)) {
    if (!(is.character(maps) || is.list(maps)) || !length(maps) || is.null(names(maps)) ||
        anyNA(names(maps)) || !all(nzchar(names(maps))) || anyDuplicated(names(maps))) {
      gx_stop(gx_message("r.maps"), setting = "maps", call = call)
    }
    settings <- gx_call(gx_map_settings, enc2utf8(names(maps)), call = call)
    for (k in seq_along(maps)) {
      given[[settings[k]]] <- path_argument(maps[[k]], paste0("maps$", names(maps)[k]), call)
    }
  }
  if (!is.null(events)) given[[named[["events"]]]] <- path_argument(events, "events", call)
  for (name in intersect(names(given), names(dots))) {
    shown <- if (name %in% named) names(named)[match(name, named)] else "maps"
    gx_stop(gx_message("r.extension_twice", shown, name), setting = name, call = call)
  }
  c(dots, given)
}

# A deflate level of the NetCDF grids, read by the core as the batch tool reads
# --netcdf-deflate: a single number, in its shortest form; NULL for the writer's default.
deflate_argument <- function(x, call = sys.call(-1)) {
  shown <- describe_value(x)
  text <- if (is.null(x)) NULL else if (is.numeric(x) && length(x) == 1 && !is.na(x)) shown else NA_character_
  level <- .Call(gx_deflate_level, text, shown, "deflate")
  if (nzchar(level$message)) gx_stop(level$message, setting = "deflate", token = shown, call = call)
  as.integer(level$level)
}
