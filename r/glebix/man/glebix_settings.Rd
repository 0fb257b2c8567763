\name{glebix_settings}
\alias{glebix_settings}
\title{The settings a run can be given}
\description{
Lists every setting that \code{\link{glebix_simulation}}, \code{\link{glebix_run}} and
\code{\link{glebix_sweep}} accept by name, with the batch tool's names; with a
simulation, also the value each has in it.
}
\usage{
glebix_settings(sim = NULL)
}
\arguments{
  \item{sim}{a simulation made by \code{\link{glebix_simulation}}, or \code{NULL}.}
}
\value{
A data frame with one row per setting and the columns \code{name}, \code{default}
(the default as text, as \code{--set} writes it), \code{kind} (\code{"real"},
\code{"whole"}, \code{"whole 1-50"}, \code{"flag"}, \code{"mode 0-2"},
\code{"mode 0-4"} or \code{"path"}) and \code{description} (in the user's language). With
\code{sim}, a column \code{value} after \code{name} gives each setting's text in the
simulation (species file and settings applied). For a simulation made without
species file, passed back to \code{glebix_simulation()} with the same seed, they repeat
its run; a species file gives some values in the species dialog's long scientific form
(\code{" 3.01000000000000E-0001"}), which the strict check refuses.
}
\details{
Values are checked strictly, as \code{glebix-batch --set} checks them. Reals may be
given as R numbers or as texts with a point (\code{0.4}, \code{"0.4"}, never
\code{"0,4"}); whole numbers and modes as whole R numbers or their digits; flags as
\code{TRUE}/\code{FALSE} or \code{"on"}/\code{"off"}, \code{"true"}/\code{"false"},
\code{"1"}/\code{"0"}; paths as texts. An R real is passed in the shortest form that
reads back as the same number, whole reals as plain digits.
}
\examples{
s <- glebix_settings()
s[s$kind == "flag", c("name", "default")]

sim <- glebix_simulation(seed = 1, Survival = 0.45)
mine <- glebix_settings(sim)
mine[mine$value != mine$default, c("name", "value")]
}
