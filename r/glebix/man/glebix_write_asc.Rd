\name{glebix_write_asc}
\alias{glebix_write_asc}
\title{Write the grids as ESRI ASCII grids}
\description{
Writes the plot as it stands to \file{density.asc} and \file{compacted.asc} in
\code{directory}: the files, byte for byte, that \code{glebix-batch --asc} writes. The
first line of values is the map's top line (column 50 of the matrices), and the grids
lie where the initial grid file lay when the run started from one (at (0, 0) with
cells of size 1 otherwise), with \file{density.prj} and \file{compacted.prj} beside them
when that file had a CRS. The files are written and renamed into place as
\code{\link{glebix_write_result_file}} writes its file, the directory made when
missing.
}
\usage{
glebix_write_asc(sim, directory)
}
\arguments{
  \item{sim}{a simulation that has been set up.}
  \item{directory}{a directory, made when missing.}
}
\value{The paths of the files, invisibly.}
\examples{
sim <- glebix_step(glebix_setup(glebix_simulation(seed = 3, steps = 10)), 10)
paths <- glebix_write_asc(sim, file.path(tempdir(), "grids"))
readLines(paths[1], n = 6)
}
