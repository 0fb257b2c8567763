\name{glebix_run}
\alias{glebix_run}
\title{Replicated runs as one data frame}
\description{
Runs \code{replicates} simulations of the same settings, on \code{cores} threads,
and returns every step of every run as one tidy data frame: the table that
\code{glebix-batch --replicates R --table} writes.
}
\usage{
glebix_run(steps = 300, seed = NULL, replicates = 1, cores = 0, ...,
           species = NULL, threads = NULL, table_every = NULL,
           table_metrics = character(), habitat = NULL, maps = NULL, events = NULL,
           stop_when = NULL)
}
\arguments{
  \item{steps}{time steps of each run.}
  \item{seed}{the master seed (0 to 4294967295); \code{NULL} draws one from R's
    generator. Run 1 uses the master seed itself, run \code{r} the seed the batch tool
    derives for its replicate \code{r}.}
  \item{replicates}{number of runs.}
  \item{cores}{runs at a time, from 0 (the default: one per processor) to 256. The results do not depend on it.}
  \item{...}{settings by name (see \code{\link{glebix_settings}}).}
  \item{species}{a species parameter file, applied before the settings.}
  \item{threads}{threads of each run's dispersal pass; by default the cores left to each
    run (\code{cores} divided by the runs at a time, at least 1), or 1 on the workers of
    a future plan; at most 256.}
  \item{table_every, table_metrics}{the rows kept and the run metrics added, as in
    \code{\link{glebix_sweep}}.}
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
  \item{stop_when}{\code{NULL}, or rules of \code{glebix-batch --stop-when}, as in
    \code{\link{glebix_simulation}}: each run ends at the first state where one holds,
    and a \code{stopped_by} column follows the step columns: the rule on the row of
    the run's stop, \code{""} on the others.}
}
\value{
A data frame with the columns \code{point} (always 1), \code{replicate}, \code{seed},
\code{step} and the columns of \code{\link{glebix_trace}} (with \code{emigrants} for
a bounded plot and \code{lost} with a habitat mask), then \code{stopped_by} with
\code{stop_when}; the rows of a run are
contiguous, step 0 first, in replicate order. Its attribute \code{master_seed} is the
master seed (also the seed of replicate 1).
}
\section{Progress and futures}{
With the \pkg{progressr} package installed, each finished run is reported to it: a
call inside \code{progressr::with_progress()} shows a progress bar. With a plan other
than the sequential one chosen by \code{future::plan()} and \pkg{future.apply}
installed, every run is one future on the plan's workers, \code{cores} is not used,
and the rows, seeds included, are those of the local call.
}
\section{Errors}{
Settings and input files are checked before any run starts. When a run stops on an
error, the call stops with a \code{\link{glebix_error}} naming the run and its seed;
the condition's \code{result} element holds every row computed.
}
\examples{
runs <- glebix_run(steps = 30, seed = 1, replicates = 3, Survival = 0.45)
aggregate(total_density ~ step, data = runs, FUN = mean)[c(1, 11, 31), ]
}
