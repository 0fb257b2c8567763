\name{glebix_write_result_file}
\alias{glebix_write_result_file}
\title{Write the result file}
\description{
Writes the plot as it stands to \file{RireVed1a1p1.txt} in \code{directory}, as the
program and \code{glebix-batch --out} write it: one line per cell, row by row, with
the count and the compacted share to one decimal, CR LF line ends. The file is written
under a temporary name and renamed into place, so a failure keeps an earlier file.
The directory is made when missing; a path that holds anything but a plain file (a
folder, a device, a pipe) is refused with a \code{\link{glebix_error}}.
}
\usage{
glebix_write_result_file(sim, directory)
}
\arguments{
  \item{sim}{a simulation that has been set up.}
  \item{directory}{a directory, made when missing.}
}
\value{The path of the file, invisibly.}
\examples{
sim <- glebix_step(glebix_setup(glebix_simulation(seed = 3, steps = 10)), 10)
path <- glebix_write_result_file(sim, tempdir())
readLines(path, n = 3)
}
