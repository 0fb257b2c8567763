\name{glebix_analyse}
\alias{glebix_analyse}
\title{Sensitivity indices of a table of results}
\description{
Writes the sensitivity indices of the table \code{table} (a CSV file with a
\code{point} column, numbered from 1 in the design's order, the factors' columns and
the metrics' columns, as \code{glebix-batch --table} writes it or as
\code{write.csv(..., row.names = FALSE)} writes a data frame) to \code{indices}, one row
per metric, step, factor and index: \code{metric,step,factor,index,estimate,low,high},
with 95 \% bootstrap intervals. The file is, byte for byte, the one
\code{glebix-batch --analyse} writes. Saltelli designs give \code{S1} and \code{ST},
Morris designs \code{mu}, \code{mu_star} and \code{sigma}, the others \code{PRCC} and
\code{SRC}; replicated points add \code{noise_share}.
}
\usage{
glebix_analyse(table, factors, method, metrics, indices, seed, bootstrap = 1000,
               at_step = NULL, every_step = FALSE, max_dropped = 0.05, quiet = FALSE)
}
\arguments{
  \item{table}{the table of results.}
  \item{factors}{the factors file the design was sampled from.}
  \item{method}{the design's method, as \code{\link{glebix_sample}} takes it.}
  \item{metrics}{the names of the metric columns.}
  \item{indices}{the indices file written.}
  \item{seed}{the seed of the bootstrap resamples.}
  \item{bootstrap}{resamples of each interval; 0 for none.}
  \item{at_step}{with a \code{step} column, the step analysed; \code{NULL}: the last.}
  \item{every_step}{with a \code{step} column, indices at every step.}
  \item{max_dropped}{the share of base rows, trajectories or points that failed runs
    may remove before the analysis is refused.}
  \item{quiet}{no message saying how many were removed.}
}
\value{\code{indices}, invisibly. A bad table is an error of class
\code{glebix_error} naming the file, the line and the column, and nothing is written;
indices that the replicates' noise leaves unsure are warnings of class
\code{glebix_warning}.}
\examples{
dir <- tempdir()
factors <- file.path(dir, "factors.csv")
writeLines(c("name,low,high", "a,0,1", "b,0,1"), factors)
design <- read.csv(glebix_sample("lhs", factors, file.path(dir, "d.csv"), seed = 1,
                                 samples = 50))
table <- data.frame(point = seq_len(nrow(design)), design, y = 2 * design$a + design$b)
write.csv(table, file.path(dir, "t.csv"), row.names = FALSE)
read.csv(glebix_analyse(file.path(dir, "t.csv"), factors, "lhs", "y",
                        file.path(dir, "indices.csv"), seed = 2, bootstrap = 100))
}
