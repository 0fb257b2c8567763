\name{glebix_explore}
\alias{glebix_explore}
\title{Sample, run and analyse in one call}
\description{
Samples the factors file with \code{\link{glebix_sample}}, runs every point of the
design with \code{\link{glebix_sweep}} (on \code{cores} threads, or on the workers of
a \pkg{future} plan), keeps each run's last step in the table with the run metrics
among \code{metrics} as columns (as \code{glebix-batch --table-every last
--table-metric}), and analyses the table with \code{\link{glebix_analyse}}. Writes
\code{plan.csv} (the design), \code{runs.csv} (the table), \code{indices.csv} and the
analysis's manifest \code{indices.json} into \code{folder}. The indices are those \code{glebix-batch}
computes from the same files.
}
\usage{
glebix_explore(factors, method, metrics, folder, seed, samples = 0, levels = 4,
               pool = 0, replicates = 1, steps = 300, bootstrap = 1000, cores = 0,
               ..., quiet = FALSE, metric_functions = list())
}
\arguments{
  \item{factors}{the factors, in any form \code{\link{glebix_sample}} takes.}
  \item{method}{the method, as \code{\link{glebix_sample}} takes it.}
  \item{metrics}{the metrics analysed: run metrics (\code{"final_total"},
    \code{"occupied_share"}, \code{"time_mean_total_density@100:300"}, \ldots) or
    columns of the steps, taken at the last step.}
  \item{folder}{the folder written (created when missing).}
  \item{seed}{the seed of the design, of the runs and of the bootstrap.}
  \item{samples, levels, pool}{as in \code{\link{glebix_sample}}.}
  \item{replicates, steps, cores, ...}{as in \code{\link{glebix_sweep}}.}
  \item{bootstrap, quiet}{as in \code{\link{glebix_analyse}}.}
  \item{metric_functions}{metrics of your own: a named list of functions, each given
    one run's rows (a data frame of the table's columns, every step in step order) and
    giving one number, \code{NA} for none. Each becomes a column of \code{runs.csv}
    and a metric \code{metrics} may name.}
}
\value{
The indices as a data frame, the columns of \code{indices.csv}, as
\code{\link{glebix_analyse}} returns them.
}
\examples{
factors <- tempfile(fileext = ".csv")
writeLines(c("name,low,high", "Survival,0.3,0.5", "Fecundity,0.5,2"), factors)
indices <- glebix_explore(factors, "morris", c("final_total", "occupied_share"),
                          file.path(tempdir(), "explore"), seed = 3, samples = 2, steps = 5,
                          bootstrap = 20)
head(indices)
}
