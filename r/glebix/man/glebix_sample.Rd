\name{glebix_sample}
\alias{glebix_sample}
\title{Sample the design of a sensitivity analysis}
\description{
Samples the design of \code{method} for the factors \code{factors} and returns it as a
data frame; when \code{design_out} is given, writes it there too: the file, byte for
byte, that \code{glebix-batch --sample} writes, which \code{glebix_sweep(read.csv(design_out))} or \code{glebix-batch --design}
runs. The points' order of each method, which \code{\link{glebix_analyse}} relies
on, is given in the package's documentation of sensitivity analysis
(\file{docs/sensitivity.md}).
}
\usage{
glebix_sample(method, factors, design_out = NULL, seed, samples = 0, levels = 4, pool = 0)
}
\arguments{
  \item{method}{\code{"factorial"}, \code{"lhs"}, \code{"sobol"}, \code{"saltelli"} or
    \code{"morris"}.}
  \item{factors}{the factors: the path of a CSV file \code{name,low,high} with an
    optional \code{scale} (\code{linear} or \code{log}); a data frame with those
    columns; or a named list of ranges, \code{list(Survival = c(0.3, 0.6))}, a third
    element giving the scale, \code{list(Fecundity = list(0.5, 2, "log"))}. Each is
    checked as a line of the file is, a problem naming the factor.}
  \item{design_out}{the design file written; \code{NULL}: none.}
  \item{seed}{a whole number from 0 to 4294967295.}
  \item{samples}{points (lhs, sobol), base rows (saltelli) or trajectories (morris).}
  \item{levels}{levels of the grid of factorial and morris (even for morris).}
  \item{pool}{morris: the trajectories drawn, of which the \code{samples} most spread
    are kept; 0 keeps those drawn.}
}
\value{A data frame: \code{point} (from 1, the design's order), then one column per
factor holding exactly the values of the design file. A bad factors file or request is
an error of class \code{glebix_error} naming the file, the line and the column (or the
factor); nothing is written then.}
\examples{
factors <- file.path(tempdir(), "factors.csv")
writeLines(c("name,low,high,scale", "Survival,0.3,0.5,linear", "Fecundity,0.5,2,log"),
           factors)
design <- glebix_sample("lhs", factors, file.path(tempdir(), "design.csv"), seed = 1,
                        samples = 5)
design
glebix_sample("morris", list(Survival = c(0.3, 0.5)), seed = 1, samples = 2)
}
