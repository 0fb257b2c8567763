
glebix_settings <- function(sim = NULL) {
  table <- .Call(gx_settings_table)
  out <- data.frame(name = table$name, default = table$default, kind = table$kind,
                    description = table$description, stringsAsFactors = FALSE)
  if (!is.null(sim)) {
    out$value <- gx_call(gx_setting_values, handle_of(sim, sys.call()))
    out <- out[c("name", "value", "default", "kind", "description")]
  }
  out
}

setting_names <- function() .Call(gx_settings_table)$name

# The message of an unknown setting name, with the names it most likely meant, as
# the batch tool says it.
unknown_setting_message <- function(name) .Call(gx_unknown_setting, enc2utf8(name))

# R values of one setting as the texts that --set takes: TRUE/FALSE as on/off (as the
# batch tool writes flags), whole reals as plain digits, other reals in shortest
# round-trip form. NA stays NA.
setting_texts <- function(x) {
  if (is.factor(x)) x <- as.character(x)
  if (is.logical(x)) return(c("off", "on")[x + 1L])
  if (is.integer(x)) return(ifelse(is.na(x), NA_character_, as.character(x)))
  if (is.numeric(x)) return(gx_format(as.numeric(x)))
  if (is.character(x)) return(enc2native(x))
  NULL
}

# Checks named settings (`values` a list or data.frame of columns, one value per row)
# strictly, as --set does, and returns their texts as a character matrix. Every
# problem is listed; `where(row)` says where a row lies (NULL: a single row, the
# named arguments).
setting_matrix <- function(values, where, call) {
  names <- names(values)
  known <- setting_names()
  problems <- character()
  first <- NULL
  note <- function(message, setting, row = 0, token = "") {
    problems[length(problems) + 1] <<- message
    if (is.null(first)) first <<- list(setting = setting, line = row, token = token)
  }
  rows <- if (length(values)) length(values[[1]]) else 0L
  texts <- matrix(NA_character_, rows, length(values), dimnames = list(NULL, names))
  for (k in seq_along(values)) {
    name <- names[k]
    if (is.null(name) || is.na(name) || !nzchar(name)) {
      note(gx_message("r.unnamed_setting"), "")
    } else if (!name %in% known) {
      note(unknown_setting_message(name), name, token = name)
    } else if (sum(names == name) > 1 && match(name, names) != k) {
      note(gx_message("r.setting_twice", name), name)
    } else if (is.null(text <- setting_texts(values[[k]]))) {
      note(gx_message("r.setting_type", name, class(values[[k]])[1]), name)
    } else {
      texts[, k] <- text
      present <- which(!is.na(text))
      found <- .Call(gx_check_settings, rep(name, length(present)), text[present])
      for (p in which(nzchar(found))) {
        row <- present[p]
        if (is.null(where)) {
          note(found[p], name, 0, text[row])
        } else {
          note(paste0(where(row), found[p]), name, row, text[row])
        }
      }
    }
  }
  if (length(problems)) {
    stop(glebix_condition(paste(problems, collapse = "\n"), setting = first$setting,
                          line = first$line, token = first$token, call = call))
  }
  texts
}

# The settings given as named arguments (`...` of the functions that make runs), one
# value each, as names and texts.
dots_settings <- function(dots, call) {
  if (!length(dots)) return(list(names = character(), values = character()))
  for (k in seq_along(dots)) {
    value <- dots[[k]]
    problem <- if (length(value) != 1) {
      gx_message("r.one_value", length(value))
    } else if (!is.list(value) && is.na(value)) {
      gx_message("r.missing_value")
    }
    if (!is.null(problem)) {
      name <- if (is.null(names(dots))) "" else names(dots)[k]
      gx_stop(paste0(gx_message("setting.prefix", name), problem), setting = name, call = call)
    }
  }
  texts <- setting_matrix(dots, NULL, call)
  list(names = colnames(texts), values = as.vector(texts[1, ]))
}
