\name{glebix-package}
\alias{glebix-package}
\alias{glebix}
\docType{package}
\title{Glebix: a soil-fauna species that reshapes its soil}
\description{
Runs the Glebix engine from R. One species lives on a plot of 50 x 50 cells; each
cell holds a whole number of individuals and two shares of its soil, compacted and
decompacted, in percent. Every time step the individuals reproduce, die and disperse
over the plot (a torus), and the fauna moves compacted soil into the decompacted
share.

A run is steered by the settings that \code{glebix-batch --set} takes (see
\code{\link{glebix_settings}}), and its results are those of the batch tool: the same
seed and settings give the same rows and the same result file.

\itemize{
  \item One simulation step by step: \code{\link{glebix_simulation}},
    \code{\link{glebix_setup}}, \code{\link{glebix_step}}, then
    \code{\link{glebix_density}}, \code{\link{glebix_trace}},
    \code{\link{glebix_write_result_file}}, \code{\link{glebix_raster}}.
  \item Replicates and sweeps as one tidy data frame: \code{\link{glebix_run}},
    \code{\link{glebix_sweep}}.
  \item Errors: \code{\link{glebix_error}}.
}
}
\examples{
sim <- glebix_setup(glebix_simulation(seed = 1, steps = 20))
glebix_step(sim, 20)
sum(glebix_density(sim))
}
