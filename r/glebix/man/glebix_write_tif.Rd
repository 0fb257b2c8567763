\name{glebix_write_tif}
\alias{glebix_write_tif}
\alias{glebix_write_netcdf}
\title{Write the grids as GeoTIFF or NetCDF files}
\description{
\code{glebix_write_tif} writes the plot as it stands to \file{density.tif} (32-bit
whole numbers), \file{compacted.tif} and \file{decompacted.tif} (64-bit reals) in
\code{directory}, compressed, as \code{glebix-batch --tif} writes them: with the
georeference and CRS of the initial grid file, or on the local grid.
\code{glebix_write_netcdf} writes the plot as a NetCDF file of one record laid out as
\code{glebix-batch --netcdf} writes its files. Both are written and renamed into place.
}
\usage{
glebix_write_tif(sim, directory)
glebix_write_netcdf(sim, path)
}
\arguments{
  \item{sim}{a simulation that has been set up.}
  \item{directory}{a directory, made when missing.}
  \item{path}{the NetCDF file.}
}
\value{The paths written, invisibly.}
\examples{
sim <- glebix_step(glebix_setup(glebix_simulation(seed = 3, steps = 10)), 10)
glebix_write_tif(sim, file.path(tempdir(), "grids"))
glebix_write_netcdf(sim, file.path(tempdir(), "grids.nc"))
}
