\name{glebix_animate}
\alias{glebix_animate}
\alias{glebix_end_animation}
\title{Animate the density map as a GIF}
\description{
Writes an animated GIF of the density map as the run goes: the state it starts from
(the state after set-up, or the present step when the simulation is already set up),
then every \code{every} steps and the run's last step, where the file is put in place.
For the same run and arguments it is, byte for byte, the file that
\code{glebix-batch --animate} writes with \code{--every}, \code{--animate-style},
\code{--animate-cell-size} and \code{--fps}. The file is written under a temporary
name and renamed into place, its directory made when missing; a path that holds
anything but a plain file is refused.

\code{glebix_end_animation} puts an animation under way in place earlier, with the
frames so far.
}
\usage{
glebix_animate(sim, path, every = 10, style = "window", cell_size = NULL, fps = 10)
glebix_end_animation(sim)
}
\arguments{
  \item{sim}{a simulation.}
  \item{path}{the GIF file.}
  \item{every}{steps between two frames.}
  \item{style}{\code{"window"}: the plot window's picture; \code{"map"}: the map alone
    with its colour legend and the step number, for slides.}
  \item{cell_size}{pixels per cell of the \code{"map"} style, 2 to 40 (10 when
    \code{NULL}).}
  \item{fps}{frames per second, 1 to 100.}
}
\value{\code{glebix_animate}: the simulation, invisibly. \code{glebix_end_animation}:
the file's path, or \code{NULL} when no animation was under way, invisibly.}
\examples{
sim <- glebix_simulation(seed = 7, steps = 20)
sim <- glebix_animate(sim, file.path(tempdir(), "carte.gif"), every = 5, style = "map",
                      cell_size = 4)
sim <- glebix_step(glebix_setup(sim), 20)
}
