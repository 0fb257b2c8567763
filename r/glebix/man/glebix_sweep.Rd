\name{glebix_sweep}
\alias{glebix_sweep}
\title{A sweep over a design}
\description{
Runs every point of a design \code{replicates} times, on \code{cores} threads, and
returns one tidy data frame: the rows, columns, values and seeds of
\code{glebix-batch --design FILE --table TABLE} for the same design, so that any run
can be repeated from the command line.
}
\usage{
glebix_sweep(design, replicates = 1, seed = NULL, steps = 300, cores = 0,
             independent_seeds = FALSE, ..., species = NULL, threads = NULL,
             points = NULL, table_every = NULL, table_metrics = character(),
             metric_functions = list(), habitat = NULL, maps = NULL, events = NULL,
             stop_when = NULL)
}
\arguments{
  \item{design}{a data frame whose columns are setting names (see
    \code{\link{glebix_settings}}) and whose rows are the points, numbered from 1. An
    \code{NA} keeps the value the point would have without it, and the result shows
    that value.}
  \item{replicates}{runs of each point.}
  \item{seed}{the master seed; \code{NULL} draws one from R's generator.}
  \item{steps}{time steps of each run.}
  \item{cores}{runs at a time, from 0 (the default: one per processor) to 256. The results do not depend on it. Progress
    and futures are as in \code{\link{glebix_run}}.}
  \item{independent_seeds}{by default, replicate \code{r} of every point uses the
    seed of run \code{r} of \code{\link{glebix_run}}, so points are compared on common
    random numbers. With \code{TRUE}, run \code{(p - 1) R + r} of \code{glebix_run}
    lends its seed to replicate \code{r} of point \code{p} instead, and no two runs
    share one.}
  \item{...}{settings by name for every point, applied after the species file and
    before the point's row.}
  \item{species}{a species parameter file, applied first.}
  \item{threads}{threads of each run's dispersal pass, as in \code{\link{glebix_run}}.}
  \item{points}{the numbers (rows) of the points to run, as \code{glebix-batch
    --points} takes them; \code{NULL} runs them all. The points run keep their numbers,
    seeds and rows of the whole sweep, so shares of a large sweep run apart (on a
    cluster's nodes) bind with \code{rbind} into the whole sweep's table.}
  \item{table_every}{as \code{glebix-batch --table-every}: \code{K} keeps the rows
    of steps 0, K, 2K, \ldots and each run's last; \code{"last"} the last alone;
    \code{NULL} every step.}
  \item{table_metrics}{names of run metrics, as \code{glebix-batch --table-metric}
    takes them (\code{"final_total"}, \code{"occupied_share"},
    \code{"time_mean_total_density@100:300"}, \ldots), added as the last columns:
    each run's value on each of its rows, \code{NA} for a run that did not complete.}
  \item{metric_functions}{metrics of your own: a named list of functions, each given
    one run's rows (a data frame of the table's columns, every step in step order,
    before \code{table_every} thins them) and giving one number (\code{NA} for none),
    a column of that name holding it on each of the run's rows, as a run metric.}
  \item{habitat}{an ESRI ASCII grid or raster of the plot's size, 1 where the species
    may live: the habitat mask, the setting \code{HabitatFilePath} (which may be given
    instead, not both).}
  \item{maps}{soil maps, a named character vector or list of file paths such as
    \code{c(DecompactionD = "d.asc", CompactionC = "c.asc")}: each replaces the
    setting it is named by with one value per cell, as \code{glebix-batch --map
    NAME=FILE}; the settings \code{DecompactionDMapPath} and \code{CompactionCMapPath}
    (not both ways; a design column may name one per point). A name that has no map is refused, with the names that have one.}
  \item{events}{a schedule of management events (a CSV file, see the batch tool's
    \code{--events}): the setting \code{EventsFilePath} (not both ways).}
  \item{stop_when}{\code{NULL}, or rules of \code{glebix-batch --stop-when}, as in
    \code{\link{glebix_simulation}}: each run ends at the first state where one holds,
    and a \code{stopped_by} column follows the step columns: the rule on the row of
    the run's stop, \code{""} on the others.}
}
\value{
A data frame with the columns \code{point}, \code{replicate}, \code{seed}, the
design's columns in design order (with the design's values), \code{step} and the
columns of \code{\link{glebix_trace}}, with \code{emigrants} last when the plots are
bounded or the design varies \code{Edges} (0 for torus runs), then \code{lost} when a
run may have a habitat mask (the individuals that landed off the habitat in the step's
dispersal), then \code{stopped_by} with \code{stop_when}, then the run metrics. Rows come in order of point, then replicate,
then step, step 0 being the state right after set-up. Its attribute
\code{master_seed} is the master seed.
}
\section{Errors}{
Every refused value of the design is reported at once, each with its row and column,
and nothing runs. As for \code{\link{glebix_run}}, a run that stops on an error stops
the call, with every row computed in the condition's \code{result}.
}
\examples{
design <- expand.grid(Survival = c(0.35, 0.45), EnvDynamic = c(TRUE, FALSE))
sweep <- glebix_sweep(design, replicates = 2, seed = 1, steps = 20)
last <- sweep[sweep$step == 20, ]
aggregate(total_density ~ Survival + EnvDynamic, data = last, FUN = mean)
# Points 2 and 4 alone, as in the whole sweep:
share <- glebix_sweep(design, replicates = 2, seed = 1, steps = 20, points = c(2, 4))
}
