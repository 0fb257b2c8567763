# The grids as terra rasters drawn as the density map draws them: the row index runs
# left to right, the column index bottom to top, each cell one unit wide, with the
# plot's lower-left corner at (0, 0).

glebix_raster <- function(sim, what = c("density", "compacted")) {
  call <- sys.call()
  what <- match.arg(what, c("density", "compacted", "decompacted"), several.ok = TRUE)
  if (!requireNamespace("terra", quietly = TRUE)) {
    gx_stop(gx_message("r.terra"),
            call = call)
  }
  layers <- lapply(what, function(w) {
    grid <- switch(w, density = glebix_density(sim), compacted = glebix_compacted(sim),
                   decompacted = glebix_decompacted(sim))
    terra::rast(map_layout(grid), extent = terra::ext(0, 50, 0, 50))
  })
  raster <- terra::rast(layers)
  names(raster) <- what
  raster
}

# A [row, column] grid laid out as the map: picture line 1 is column 50, and along a
# line the row index grows.
map_layout <- function(grid) t(grid)[rev(seq_len(ncol(grid))), , drop = FALSE]
