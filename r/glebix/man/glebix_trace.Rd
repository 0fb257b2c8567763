\name{glebix_trace}
\alias{glebix_trace}
\title{The history of a simulation}
\description{
One row for the state right after set-up (step 0), then one per step done: the
columns of the batch tool's trace.
}
\usage{
glebix_trace(sim)
}
\arguments{
  \item{sim}{a simulation that has been set up.}
}
\value{
A data frame with the columns \code{step}; \code{cell_density},
\code{cell_compacted} and \code{cell_decompacted}, the chart cell's count and shares
(settings \code{ChartCellX}, \code{ChartCellY}); \code{mean_density} and
\code{mean_compacted}, the plot's means as the chart shows them; and
\code{total_density}, the plot's total count; for a bounded plot (setting
\code{Edges}), then \code{emigrants}, the individuals that left the plot in the step;
with a habitat mask, last, \code{lost}, those that landed off the habitat in the step's
dispersal.
}
\examples{
sim <- glebix_step(glebix_setup(glebix_simulation(seed = 3, steps = 40)), 40)
trace <- glebix_trace(sim)
plot(total_density ~ step, data = trace, type = "l")
}
