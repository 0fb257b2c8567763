\name{glebix_raster}
\alias{glebix_raster}
\title{The grids as a terra raster}
\description{
The plot's grids as a \code{SpatRaster} of the \pkg{terra} package, laid out as the
density map: the row index runs along x from west to east, the column index along y
from south to north. The raster has the extent, resolution and CRS of the initial grid
file when the run started from one (a GeoTIFF's own CRS, an ESRI ASCII grid's
\file{.prj}), so that \code{terra::compareGeom(input, glebix_raster(sim))} holds;
otherwise each cell is one unit wide, the plot's lower-left corner at (0, 0), without
CRS. Needs \pkg{terra}.
}
\usage{
glebix_raster(sim, what = c("density", "compacted"))
}
\arguments{
  \item{sim}{a simulation that has been set up.}
  \item{what}{the layers, among \code{"density"}, \code{"compacted"} and
    \code{"decompacted"}.}
}
\value{A \code{SpatRaster} with one layer per element of \code{what}, so named.}
\examples{
if (requireNamespace("terra", quietly = TRUE)) {
  sim <- glebix_step(glebix_setup(glebix_simulation(seed = 3, steps = 30)), 30)
  r <- glebix_raster(sim)
  terra::plot(r)
}
}
