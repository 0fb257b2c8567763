\name{glebix_stack}
\alias{glebix_stack}
\title{The grids over time as a terra raster}
\description{
Sets the simulation up and makes all its steps, recording the grids into a NetCDF file
as \code{glebix-batch --netcdf FILE --every K} writes it: after set-up, every
\code{every} steps and after the last step (or the step a stopping rule ended the run at). Returns the recorded layers of
\code{what} as a \code{SpatRaster} placed as \code{\link{glebix_raster}} places the
grids. Needs \pkg{terra}.
}
\usage{
glebix_stack(sim, every, what = "density", file = tempfile(fileext = ".nc"),
             deflate = NULL)
}
\arguments{
  \item{sim}{a simulation.}
  \item{every}{steps between two records, 1 at least.}
  \item{what}{\code{"density"}, \code{"compacted"} or \code{"decompacted"}.}
  \item{file}{where the NetCDF file (all three grids, CF-1.8) is written.}
  \item{deflate}{the compression level of its grids, from 0 (none) to 9, as
    \code{glebix-batch --netcdf-deflate}; \code{NULL}: the batch tool's default (4).
    Another value is refused before anything runs.}
}
\value{A \code{SpatRaster} of one layer per recorded step, named \code{step_N}, with
\code{terra::time()} the step numbers.}
\examples{
if (requireNamespace("terra", quietly = TRUE)) {
  stack <- glebix_stack(glebix_simulation(seed = 3, steps = 30), every = 10)
  names(stack)
}
}
