\name{glebix_save_state}
\alias{glebix_save_state}
\alias{glebix_resume}
\title{Save a run's state and take it up again}
\description{
\code{glebix_save_state()} writes the run's state at its present step: the file,
byte for byte, that \code{glebix-batch --save-state} writes for the same seed,
settings and step, and that Python's \code{Simulation.save_state()} writes. It is
written under a temporary name and renamed into place, its folder made when missing;
a path that holds anything but a plain file is refused.

\code{glebix_resume()} puts a saved run back, from R, Python or \code{glebix-batch
--save-state} or \code{--checkpoint}: no set-up, the seeds and settings are the
saved ones, and \code{\link{glebix_step}} goes on from the saved step + 1 exactly as
the unbroken run would, up to the saved step count (or \code{steps}). Only
\code{DecompactionD}, \code{EnvDynamic} and \code{DispersalFirst}, read at every step,
may be changed, as with \code{glebix-batch --resume --set}. The trace holds the steps
made after the saved one; \code{\link{glebix_setup}} starts the run afresh from step 0.
}
\usage{
glebix_save_state(sim, path)
glebix_resume(path, steps = NULL, threads = 0, ..., stop_when = NULL)
}
\arguments{
  \item{sim}{a simulation that has been set up.}
  \item{path}{the state file.}
  \item{steps}{the step count to go on to; \code{NULL} keeps the saved one.}
  \item{threads}{threads of the dispersal pass, as in \code{\link{glebix_simulation}}.}
  \item{...}{settings read at every step, by name.}
  \item{stop_when}{rules that end the run early, as for
    \code{\link{glebix_simulation}}, checked from the saved state on.}
}
\value{
\code{glebix_save_state()}: the path, invisibly. \code{glebix_resume()}: a simulation
(see \code{\link{glebix_simulation}}).
}
\section{Errors}{
A truncated, edited or foreign state file, a setting that may not change and a step
count before the saved step stop with a \code{\link{glebix_error}}.
}
\examples{
sim <- glebix_step(glebix_setup(glebix_simulation(seed = 3, steps = 20)), 10)
path <- file.path(tempdir(), "half.state")
glebix_save_state(sim, path)
later <- glebix_resume(path, DecompactionD = 8)
glebix_step(later, 10)
}
