# The grids as terra rasters drawn as the density map draws them: the row index runs
# west to east, the column index south to north. They lie where the initial grid file
# lay, with its CRS (a GeoTIFF's own, an ESRI ASCII grid's .prj); without one, on the
# local grid: cells one unit wide, the plot's lower-left corner at (0, 0), no CRS.

glebix_raster <- function(sim, what = c("density", "compacted")) {
  call <- sys.call()
  what <- match.arg(what, c("density", "compacted", "decompacted"), several.ok = TRUE)
  need_terra("glebix_raster", call)
  handle <- handle_of(sim, call)
  place <- gx_call(gx_georeference, handle)
  extent <- terra::ext(place$xmin, place$xmin + place$columns * place$cellsize,
                       place$ymin, place$ymin + place$lines * place$cellsize)
  layers <- lapply(what, function(w) {
    grid <- switch(w, density = glebix_density(sim), compacted = glebix_compacted(sim),
                   decompacted = glebix_decompacted(sim))
    terra::rast(map_layout(grid), extent = extent, crs = place$crs)
  })
  raster <- terra::rast(layers)
  names(raster) <- what
  raster
}

# Set-up and every step with the grids recorded into a NetCDF file as glebix-batch
# --netcdf FILE --every K --netcdf-deflate LEVEL writes it: the layers of `what`, one
# per recorded step, named "step_N" with time() the step number.
glebix_stack <- function(sim, every, what = "density", file = tempfile(fileext = ".nc"),
                         deflate = NULL) {
  call <- sys.call()
  what <- match.arg(what, c("density", "compacted", "decompacted"))
  need_terra("glebix_stack", call)
  handle <- handle_of(sim, call)
  every <- count_argument(every, "every", 1, call)
  file <- path_argument(file, "file", call)
  deflate <- deflate_argument(deflate, call)
  gx_call(gx_record, handle, file, every, deflate)
  # Put in place only when every step is made: after an error or an interrupt the
  # temporary file goes and an earlier file under that name stays.
  done <- FALSE
  tryCatch({
    glebix_setup(sim)
    glebix_step(sim, gx_call(gx_info, handle)$steps)
    done <- TRUE
  }, finally = gx_call(gx_record, handle, "", if (done) 0L else -1L, deflate))
  written <- file
  stack <- terra::rast(written, subds = what)
  # The step a stopping rule ended the run at, or its last.
  last <- gx_call(gx_info, handle)$step
  steps <- unique(c(seq(0L, last, by = every), last))
  names(stack) <- paste0("step_", steps)
  terra::time(stack, tstep = "") <- steps
  stack
}

glebix_write_tif <- function(sim, directory) {
  call <- sys.call()
  handle <- handle_of(sim, call)
  invisible(gx_call(gx_write_tif, handle, path_argument(directory, "directory", call)))
}

glebix_write_netcdf <- function(sim, path) {
  call <- sys.call()
  handle <- handle_of(sim, call)
  invisible(gx_call(gx_write_netcdf, handle, path_argument(path, "path", call)))
}

need_terra <- function(name, call) {
  if (!requireNamespace("terra", quietly = TRUE)) {
    gx_stop(gx_message("r.terra", name), call = call)
  }
}

# A [row, column] grid laid out as the map: picture line 1 is the last column, and along
# a line the row index grows.
map_layout <- function(grid) t(grid)[rev(seq_len(ncol(grid))), , drop = FALSE]
