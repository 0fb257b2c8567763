\name{glebix_analyse}
\alias{glebix_analyse}
\title{Sensitivity indices of a table of results}
\description{
Computes the sensitivity indices of the table \code{table} (a CSV file or a data
frame with a \code{point} column, numbered from 1 in the design's order, the factors'
columns and the metrics' columns, as \code{glebix-batch --table} or
\code{\link{glebix_sweep}} makes it), one row per metric, step, factor and index:
\code{metric,step,factor,index,estimate,low,high}, with 95 \% bootstrap intervals.
When \code{indices} is given they are written there, byte for byte the file
\code{glebix-batch --analyse} writes (with its manifest beside it), and when
\code{figure} is given, their picture, that of \code{glebix-batch --figure}. Saltelli designs give \code{S1} and \code{ST},
Morris designs \code{mu}, \code{mu_star} and \code{sigma}, the others \code{PRCC} and
\code{SRC}; replicated points add \code{noise_share}.
}
\usage{
glebix_analyse(table, factors, method, metrics, indices = NULL, seed, bootstrap = 1000,
               at_step = NULL, every_step = FALSE, max_dropped = 0.05, quiet = FALSE,
               figure = NULL)
}
\arguments{
  \item{table}{the table of results: a CSV file's path or a data frame, whose reals
    are read as the shortest text that gives them back.}
  \item{factors}{the factors the design was sampled from, in any form
    \code{\link{glebix_sample}} takes.}
  \item{method}{the design's method, as \code{\link{glebix_sample}} takes it.}
  \item{metrics}{the names of the metric columns.}
  \item{indices}{the indices file written; \code{NULL}: none.}
  \item{seed}{the seed of the bootstrap resamples.}
  \item{bootstrap}{resamples of each interval; 0 for none.}
  \item{at_step}{with a \code{step} column, the step analysed; \code{NULL}: the last.}
  \item{every_step}{with a \code{step} column, indices at every step.}
  \item{max_dropped}{the share of base rows, trajectories or points that failed runs
    may remove before the analysis is refused.}
  \item{quiet}{no message saying how many were removed.}
  \item{figure}{the PNG file of the indices' figure written; \code{NULL}: none.}
}
\value{The indices as a data frame with the columns of the file (\code{step}
\code{NA} and \code{factor} empty where the file leaves them empty), holding exactly
its numbers. A bad table is an error of class
\code{glebix_error} naming the file, the line and the column, and nothing is written;
indices that the replicates' noise leaves unsure are warnings of class
\code{glebix_warning}.}
\examples{
dir <- tempdir()
factors <- file.path(dir, "factors.csv")
writeLines(c("name,low,high", "a,0,1", "b,0,1"), factors)
design <- glebix_sample("lhs", factors, seed = 1, samples = 50)
table <- cbind(design, y = 2 * design$a + design$b)
glebix_analyse(table, factors, "lhs", "y", file.path(dir, "indices.csv"), seed = 2,
               bootstrap = 100)
}
