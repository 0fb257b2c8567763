\name{glebix_setup}
\alias{glebix_setup}
\alias{glebix_step}
\title{Set up a simulation and advance it}
\description{
\code{glebix_setup()} reseeds the generator with the simulation's seed, builds the
initial environment and distribution (reading their files when their mode asks for
one) and takes the species values, as the program does when a run starts. Setting up
again starts the same run afresh.

\code{glebix_step()} advances the simulation by \code{n} time steps. It stops between
two steps when R is interrupted (an interrupt) or when a time limit set by
\code{setTimeLimit()} passes (R's usual error).
}
\usage{
glebix_setup(sim)
glebix_step(sim, n = 1)
}
\arguments{
  \item{sim}{a simulation made by \code{\link{glebix_simulation}}.}
  \item{n}{number of steps; the simulation's \code{steps} may not be exceeded.}
}
\value{The simulation, invisibly, so that calls can be chained.}
\section{Errors}{
A bad input file, a refused species value or a floating-point fault during a step
stops with a \code{\link{glebix_error}}; after a fault in a step the simulation must
be set up again.
}
\examples{
sim <- glebix_setup(glebix_simulation(seed = 7, steps = 10))
glebix_step(sim, 4)
glebix_step(sim)
sim
}
