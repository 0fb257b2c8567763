# Errors of the engine and of the arguments, as conditions of class glebix_error, in
# the user's language.

# The message `key` of the batch tool's catalogue in the user's language (French when
# LANGUAGE, LC_ALL, LC_MESSAGES or LANG, the first set, names French; English
# otherwise), its placeholders {0}, {1}, ... filled with the further arguments.
gx_message <- function(key, ...) {
  .Call(gx_catalogue_message, key, vapply(list(...), as.character, ""))
}

# A condition of class glebix_error. `message` is the message alone; the
# condition's message puts `where` (the context in words) before it, as the batch
# tool prints it.
glebix_condition <- function(message, where = "", setting = "", path = "", line = 0,
                             column = 0, token = "", call = NULL) {
  structure(
    class = c("glebix_error", "error", "condition"),
    list(
      message = if (nzchar(where)) {
        paste0(where, gx_message("context_separator"), message)
      } else {
        message
      },
      call = call,
      glebix_message = message,
      context = list(setting = setting, path = path, line = line, column = column,
                     token = token)
    )
  )
}

# The condition of a failure returned by the compiled code.
failure_condition <- function(failure, call = NULL, prefix = "") {
  condition <- glebix_condition(failure$message, where = failure$where,
                                setting = failure$setting, path = failure$path,
                                line = failure$line, column = failure$column,
                                token = failure$token, call = call)
  condition$message <- paste0(prefix, condition$message)
  condition
}

# Calls compiled code and raises the engine's error, if any, in the name of `call`
# (by default the caller's).
gx_call <- function(fun, ..., call = sys.call(-1)) {
  result <- .Call(fun, ...)
  if (inherits(result, "glebix_failure")) stop(failure_condition(result, call = call))
  result
}

gx_stop <- function(message, ..., call = sys.call(-1)) {
  stop(glebix_condition(message, ..., call = call))
}

# Each of the batch tool's warnings as a warning of class
# glebix_warning, in the name of `call`.
gx_warn <- function(texts, call) {
  for (text in texts) {
    warning(structure(class = c("glebix_warning", "warning", "condition"),
                      list(message = text, call = call)))
  }
}
