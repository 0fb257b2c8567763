# A terra-made GeoTIFF as the initial environment: the rasters lie where it lies, with
# its CRS, and the NetCDF time stack reads back in terra as the batch tool writes it.

landscape <- function() {
  skip_if_not_installed("terra")
  set.seed(4)
  land <- terra::rast(nrows = 50, ncols = 50, xmin = 412000, xmax = 412100, ymin = 5610000,
                      ymax = 5610100, crs = "EPSG:2154")
  terra::values(land) <- round(runif(2500, 0, 100), 3)
  land[1, 1] <- NA
  path <- file.path(tempfile("glebix-"), "land.tif")
  dir.create(dirname(path))
  terra::writeRaster(land, path, NAflag = -9999)
  list(raster = terra::rast(path), path = path)
}

test_that("the raster of a run from a GeoTIFF has its geometry and CRS", {
  land <- landscape()
  sim <- suppressWarnings(ready(seed = 3, steps = 2, EnvInitMode = 0, EnvFilePath = land$path))
  raster <- glebix_raster(sim, "compacted")
  expect_true(terra::compareGeom(land$raster, raster))
  expect_equal(terra::values(raster)[-1, 1], terra::values(land$raster)[-1, 1])
  tif <- glebix_write_tif(sim, file.path(dirname(land$path), "out"))
  expect_true(terra::compareGeom(land$raster, terra::rast(tif[1])))
  written <- terra::values(terra::rast(tif[2]))[, 1]
  expect_true(is.na(written[1]))  # the cell the landscape leaves unnamed is NoData
  expect_equal(written[-1], terra::values(raster)[-1, 1])
  # Without an initial grid, the local grid.
  local <- glebix_raster(ready(seed = 3, steps = 0))
  expect_equal(as.vector(terra::ext(local)), c(xmin = 0, xmax = 50, ymin = 0, ymax = 50))
})

test_that("the time stack equals the batch tool's NetCDF file", {
  land <- landscape()
  sim <- suppressWarnings(glebix_simulation(seed = 8, steps = 25, EnvInitMode = 0,
                                            EnvFilePath = land$path))
  stack <- glebix_stack(sim, every = 10)
  expect_equal(names(stack), c("step_0", "step_10", "step_20", "step_25"))
  expect_equal(terra::time(stack), c(0, 10, 20, 25))
  expect_true(terra::compareGeom(land$raster, stack))
  expect_equal(terra::values(stack[[4]])[, 1], terra::values(glebix_raster(sim, "density"))[, 1])
  file <- file.path(dirname(land$path), "batch.nc")
  run_batch("--steps", "25", "--seed", "8", "--every", "10", "--set", "EnvInitMode=0",
            "--set", paste0("EnvFilePath=", land$path), "--netcdf", file)
  batch <- terra::rast(file, subds = "density")
  expect_equal(terra::nlyr(batch), 4)
  expect_true(terra::compareGeom(land$raster, batch))
  expect_equal(unname(terra::values(batch)), unname(terra::values(stack)))
  written <- glebix_write_netcdf(sim, file.path(dirname(land$path), "now.nc"))
  expect_equal(unname(terra::values(terra::rast(written, subds = "density"))[, 1]),
               unname(terra::values(stack[[4]])[, 1]))
})

test_that("the raster of a plot of another size lies where its grid lies", {
  skip_if_not_installed("terra")
  land <- terra::rast(nrows = 300, ncols = 400, xmin = 650000, xmax = 654000, ymin = 6859000,
                      ymax = 6862000, crs = "EPSG:2154")
  terra::values(land) <- rep(seq(10, 60, length.out = 400), 300)
  path <- file.path(tempfile("glebix-"), "land.tif")
  dir.create(dirname(path))
  terra::writeRaster(land, path)
  land <- terra::rast(path)
  sim <- glebix_setup(glebix_simulation(seed = 3, steps = 1, EnvInitMode = 0, EnvFilePath = path))
  raster <- glebix_raster(sim, "compacted")
  expect_true(terra::compareGeom(land, raster))
  expect_equal(terra::res(raster), c(10, 10))
  expect_equal(terra::values(raster)[, 1], terra::values(land)[, 1])
})

test_that("a simulation given where a count is expected is said so", {
  sim <- glebix_simulation(seed = 3, steps = 1)
  expect_error(glebix_run(sim), "steps.*glebix_step\\(sim, n\\)")
})
