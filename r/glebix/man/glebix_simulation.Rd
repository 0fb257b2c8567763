\name{glebix_simulation}
\alias{glebix_simulation}
\alias{glebix_seed}
\alias{glebix_stopped_by}
\alias{print.glebix_simulation}
\title{A simulation to drive step by step}
\description{
Makes a simulation with its settings, seed and number of steps. Nothing is computed
until \code{\link{glebix_setup}}.
}
\usage{
glebix_simulation(seed = NULL, steps = 300, threads = 0, species = NULL, ...,
                  replicate = NULL, stop_when = NULL, habitat = NULL, maps = NULL,
                  events = NULL)
glebix_seed(sim)
glebix_stopped_by(sim)
\method{print}{glebix_simulation}(x, ...)
}
\arguments{
  \item{seed}{the generator's seed, a whole number from 0 to 4294967295. \code{NULL}
    draws one from R's random number generator, so that \code{set.seed()} makes the
    simulation repeatable; \code{glebix_seed()} tells which.}
  \item{steps}{the run's number of time steps (0 or more).}
  \item{threads}{threads of the dispersal pass, from 0 (one per processor) to 256.
    Results do not depend on it.}
  \item{species}{a species parameter file, read as the program's species dialog and
    \code{glebix-batch --species} read it, before the named settings.}
  \item{...}{settings by name, one value each (see \code{\link{glebix_settings}}),
    applied in order after the species file. For \code{print}, ignored.}
  \item{replicate}{with a \code{seed}: this is run \code{replicate} of a study whose
    master seed is \code{seed} (\code{glebix_run(seed = S, replicates = R)}, or the
    k-th run of a design with independent seeds): it draws from that run's seed, and
    a saved state records the master seed as the study's does. \code{NULL}: the seed
    is the run's own.}
  \item{stop_when}{\code{NULL}, or rules of \code{glebix-batch --stop-when}:
    \code{"extinct"}, or a step column and a threshold such as \code{"total_density<1"}
    or \code{"mean_compacted>=90"}. The run ends at the first state (after set-up or
    after a whole step) where one holds: \code{\link{glebix_step}} makes no further
    step, and \code{glebix_stopped_by()} names the rule (\code{NA} while none has).}
  \item{habitat}{an ESRI ASCII grid or raster of the plot's size, 1 where the species
    may live: the habitat mask, the setting \code{HabitatFilePath} (which may be given
    instead, not both).}
  \item{maps}{soil maps, a named character vector or list of file paths such as
    \code{c(DecompactionD = "d.asc", CompactionC = "c.asc")}: each replaces the
    setting it is named by with one value per cell, as \code{glebix-batch --map
    NAME=FILE}; the settings \code{DecompactionDMapPath} and \code{CompactionCMapPath}
    (not both ways). A name that has no map is refused, with the names that have one.}
  \item{events}{a schedule of management events (a CSV file, see the batch tool's
    \code{--events}): the setting \code{EventsFilePath} (not both ways).}
  \item{sim, x}{a simulation.}
}
\value{
An object of class \code{glebix_simulation}, a handle on the engine: the functions
that step it change it in place. It does not survive \code{saveRDS()} or the end of
the session. \code{glebix_seed()} gives the seed as a number;
\code{glebix_stopped_by()} the rule that stopped the run, or \code{NA}.
}
\section{Errors}{
An unknown name stops with \code{"paramètre inconnu"} and the closest names; a value
that is not of the setting's kind stops with the batch tool's message. Both are
conditions of class \code{\link{glebix_error}}. What \code{glebix-batch} warns about
(a file path that its mode does not read, \code{Survival} outside [0, 1], cells that
an initial file leaves unnamed, species values that the dialog rounds) is a warning of
class \code{glebix_warning} with the batch tool's text; \code{\link{glebix_run}} and
\code{\link{glebix_sweep}} give the same warnings, a design point's own naming it.
}
\examples{
sim <- glebix_simulation(seed = 42, steps = 50, Survival = 0.45, DistInitMode = 1)
sim
glebix_seed(sim)
try(glebix_simulation(Survivl = 0.45))
early <- glebix_simulation(seed = 42, steps = 200, stop_when = "mean_compacted<30")
glebix_setup(early)
glebix_step(early, 200)
glebix_stopped_by(early)
}
