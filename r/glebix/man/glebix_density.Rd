\name{glebix_density}
\alias{glebix_density}
\alias{glebix_compacted}
\alias{glebix_decompacted}
\title{The plot's grids as matrices}
\description{
The count of individuals, the compacted share and the decompacted share (in percent)
of every cell, as they stand.
}
\usage{
glebix_density(sim)
glebix_compacted(sim)
glebix_decompacted(sim)
}
\arguments{
  \item{sim}{a simulation that has been set up.}
}
\value{
A 50 x 50 matrix indexed \code{[row, column]} as the model and its files number the
cells: element \code{[i, j]} is the cell of row \code{i} and column \code{j} (line
\code{50 (i - 1) + j} of the result file). An integer matrix for the counts, a double
matrix for the shares.

On the density map, the row index runs from left to right and the column index from
bottom to top, so \code{image(glebix_density(sim))} draws the map as the program
does; \code{\link{glebix_raster}} gives the same picture as a raster.
}
\examples{
sim <- glebix_step(glebix_setup(glebix_simulation(seed = 3, steps = 30)), 30)
density <- glebix_density(sim)
density[25, 20:30]
range(glebix_compacted(sim))
image(density, main = "densité")
}
