\name{glebix_calibrate}
\alias{glebix_calibrate}
\title{Calibrate settings against observations}
\description{
Calibrates the settings named in the factors file \code{factors} (a CSV file
\code{name,low,high[,scale]}, the prior of each) against the observations
\code{observed} (a CSV file \code{step,metric,value[,sd]} of metrics the program defines,
such as \code{total_density} or \code{mean_compacted} at a step, or \code{final_total}
with an empty step) by approximate Bayesian computation: rejection with the
local-linear regression adjustment (\code{"abc-rejection"}) or sequential Monte Carlo
(\code{"abc-smc"}). Writes \code{posterior.csv}, \code{posterior-summary.csv} and
\code{manifest.json} into the folder \code{out}, the files, byte for byte, that
\code{glebix-batch --calibrate} writes for the same inputs.
}
\usage{
glebix_calibrate(factors, observed, out, seed, samples, method = "abc-rejection",
                 accept = 0.1, replicates = 1, steps = 300, cores = 0, ...,
                 quiet = FALSE, observed_grids = NULL, grid_compare = "summaries",
                 figure = NULL, species = NULL, prior_sample = NULL)
}
\arguments{
  \item{factors}{the prior: a factors file, or the factors in any other form
    \code{\link{glebix_sample}} takes, each a setting.}
  \item{observed}{the observations file.}
  \item{out}{the folder written; one that already holds results is refused.}
  \item{seed}{the seed of the whole calibration: the prior's points and every run's seed.}
  \item{samples}{the runs of the prior (\code{"abc-rejection"}), or the run budget
    (\code{"abc-smc"}).}
  \item{method}{\code{"abc-rejection"} or \code{"abc-smc"}.}
  \item{accept}{the share of the runs kept, in (0, 1], by \code{"abc-rejection"}.}
  \item{replicates}{runs of each point of the prior, their distances averaged
    (\code{"abc-rejection"} only).}
  \item{steps}{the steps of every run.}
  \item{cores}{runs at a time; 0, the default, for one per processor. The results do not depend on it.}
  \item{...}{the other settings of every run, by name.}
  \item{quiet}{no message saying how many runs failed.}
  \item{observed_grids}{observed grids, as \code{glebix-batch --observed-grid}: a named
    vector or list of raster paths whose names are the steps (\code{c("10" = "d.asc")}),
    a name such as \code{"compacted@10"} observing the compacted share, or texts
    \code{"[FIELD@]STEP:FILE"}; each must have the plot's size.}
  \item{grid_compare}{\code{"summaries"} (each grid's mean, variance, occupied share and
    Moran's I) or \code{"cells"} (each cell).}
  \item{figure}{a PNG file drawn once the results are written: the posterior's
    marginals, its pairs, and the observations against the accepted runs' band.}
  \item{species}{a species parameter file, applied before the settings of \code{...}
    as \code{glebix-batch --species} applies it, and recorded among the manifest's
    inputs.}
  \item{prior_sample}{how \code{"abc-rejection"} places its prior points:
    \code{"lhs"} (a Latin hypercube; the default), \code{"sobol"} or \code{"uniform"}
    (independent draws), as \code{glebix-batch --prior-sample}.}
}
\details{With a \code{future::plan()} other than sequential and future.apply
installed, as for \code{\link{glebix_sweep}}, each batch of runs (the prior's sample, or
one generation of \code{"abc-smc"}) is made on the plan's workers, one future per run,
with the same results; the workers read the factors, observations, grids and species
files at the same paths. \code{cores} then does not apply.}
\value{The posterior, \code{posterior.csv} as a data frame: \code{point},
\code{replicate}, \code{seed}, \code{runs}, \code{distance}, \code{weight}, each
factor's adjusted value and its run's value (\code{<factor>_run}). Bad input is an error
of class \code{glebix_error} naming the file, the line and the column; nothing runs and
nothing is written.}
\examples{
dir <- tempfile("calibration-")
dir.create(dir)
factors <- file.path(dir, "factors.csv")
writeLines(c("name,low,high", "Survival,0.2,0.8"), factors)
observed <- file.path(dir, "observed.csv")
writeLines(c("step,metric,value", "5,total_density,6", "10,total_density,25"), observed)
posterior <- glebix_calibrate(factors, observed, file.path(dir, "out"), seed = 3,
                              samples = 100, steps = 10, PlotWidth = 10, PlotHeight = 10)
summary(posterior$Survival)
}
