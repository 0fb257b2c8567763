\name{glebix_error}
\alias{glebix_error}
\title{Errors of Glebix}
\description{
Every error of the engine, and every refused setting or argument, is a condition of
class \code{c("glebix_error", "error", "condition")}. Its message is the French
message, preceded by its context when one is known, as \code{glebix-batch} prints
them (\code{DistFilePath « dist.txt », ligne 4, colonne 7 : « 33,5 » : Saisie
numérique incorrecte}). Besides \code{message} and \code{call} it has:
\describe{
  \item{\code{glebix_message}}{the message alone, as the program's error box shows it;}
  \item{\code{context}}{a list of \code{setting}, \code{path} (the file concerned),
    \code{line} and \code{column} (from 1; 0 when unknown) and \code{token} (the refused
    text); for a design, \code{line} is the design's row;}
  \item{\code{result}}{for \code{\link{glebix_run}} and \code{\link{glebix_sweep}}, the
    rows computed before a run stopped.}
}
}
\examples{
e <- tryCatch(glebix_simulation(Survival = "0,4"), glebix_error = function(e) e)
e$glebix_message
e$context$setting
e$context$token
}
