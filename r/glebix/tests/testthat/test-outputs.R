# The grid files, the output folders and places, the bound on threads and the batch
# tool's warnings, as glebix-batch has them.

test_that("the grid files are the batch tool's, with the input grid's placement", {
  first <- tempfile("glebix-first-")
  run_batch("--seed", "3", "--steps", "12", "--asc", first)
  placed <- sub("xllcorner 0", "xllcorner 512000.5", readLines(file.path(first, "compacted.asc")))
  env <- write_lines(placed, "placed.asc")
  theirs <- tempfile("glebix-asc-")
  run_batch("--seed", "8", "--steps", "9", "--set", "EnvInitMode=0", "--set",
            paste0("EnvFilePath=", env), "--set", "DispersalFirst=on", "--asc", theirs)
  sim <- glebix_step(ready(seed = 8, steps = 9, EnvInitMode = 0, EnvFilePath = env,
                           DispersalFirst = TRUE), 9)
  ours <- file.path(tempfile("glebix-new-"), "sub")
  paths <- glebix_write_asc(sim, ours)
  expect_equal(basename(paths), c("density.asc", "compacted.asc"))
  for (name in basename(paths)) {
    expect_identical(readBin(file.path(ours, name), "raw", 1e6),
                     readBin(file.path(theirs, name), "raw", 1e6), label = name)
  }
  # The grid's first line is the map's top line: column 50 of the matrix, row by row.
  body <- as.matrix(utils::read.table(paths[1], skip = 5))
  expect_equal(unname(body), unname(t(glebix_density(sim))[50:1, ]))
})

test_that("outputs make their folders and replace nothing but plain files", {
  sim <- glebix_step(ready(seed = 2, steps = 3), 3)
  animate <- function(sim, place) {
    glebix_animate(sim, file.path(place, "a.gif"), style = "map")
    file.path(place, "a.gif")
  }
  writers <- list(result = glebix_write_result_file, asc = glebix_write_asc, animation = animate)
  for (name in names(writers)) {
    place <- file.path(tempfile("glebix-"), "new", "sub")
    written <- writers[[name]](sim, place)
    expect_true(all(file.exists(written)), label = name)
    expect_equal(writers[[name]](sim, place), written)  # plain files are replaced
    odd <- tempfile("glebix-odd-")
    dir.create(odd)
    for (file in basename(written)) file.symlink("/dev/null", file.path(odd, file))
    e <- tryCatch(writers[[name]](sim, odd), error = identity)
    expect_s3_class(e, "glebix_error")
    expect_match(conditionMessage(e), "n'est pas un fichier ordinaire", fixed = TRUE)
    expect_equal(e$context$path, file.path(odd, basename(written)[1]))
    expect_equal(Sys.readlink(file.path(odd, basename(written)[1])), "/dev/null")
  }
})

test_that("animations are the batch tool's bytes, and their arguments checked by name", {
  looks <- list(window = list(list(), character()),
                map = list(list(style = "map", cell_size = 4, fps = 20),
                           c("--animate-style", "map", "--animate-cell-size", "4", "--fps", "20")))
  for (name in names(looks)) {
    dir <- tempfile("glebix-anim-")
    run_batch("--seed", "5", "--steps", "12", "--every", "5", "--animate", file.path(dir, "b.gif"),
              looks[[name]][[2]])
    sim <- do.call(glebix_animate, c(list(glebix_simulation(seed = 5, steps = 12),
                                          file.path(dir, "new", "r.gif"), every = 5), looks[[name]][[1]]))
    glebix_step(glebix_setup(sim), 12)
    expect_identical(readBin(file.path(dir, "new", "r.gif"), "raw", 1e7),
                     readBin(file.path(dir, "b.gif"), "raw", 1e7), label = name)
  }
  sim <- glebix_simulation(seed = 1, steps = 50)
  refused <- list(list(list(style = "carte"), "style : \u00abcarte\u00bb"),
                  list(list(style = "map", cell_size = 41), "cell_size : \u00ab41\u00bb hors de 2"),
                  list(list(cell_size = 8), "ne vaut que pour le style map"),
                  list(list(fps = 101), "fps : au plus 100"),
                  list(list(every = 0), "every"))
  for (case in refused) {
    e <- tryCatch(do.call(glebix_animate, c(list(sim, tempfile(fileext = ".gif")), case[[1]])),
                  error = identity)
    expect_s3_class(e, "glebix_error")
    expect_match(conditionMessage(e), case[[2]], fixed = TRUE)
  }
  # Ended before its last step, the file holds the frames so far.
  place <- tempfile("glebix-early-", fileext = ".gif")
  sim <- glebix_step(glebix_setup(glebix_animate(sim, place, every = 2)), 5)
  expect_false(file.exists(place))
  expect_equal(glebix_end_animation(sim), place)
  expect_null(glebix_end_animation(sim))
  expect_identical(readBin(place, "raw", 6), charToRaw("GIF89a"))
})

test_that("animations of another plot size are the batch tool's bytes", {
  dir <- tempfile("glebix-anim-")
  for (style in c("window", "map")) {
    run_batch("--seed", "5", "--steps", "6", "--every", "3", "--set", "PlotWidth=20", "--set", "PlotHeight=30",
              "--set", "Edges=bounded", "--set", "DistInitMode=2", "--animate-style", style,
              "--animate", file.path(dir, paste0(style, ".gif")))
    sim <- glebix_animate(glebix_simulation(seed = 5, steps = 6, PlotWidth = 20, PlotHeight = 30,
                                            Edges = "bounded", DistInitMode = 2),
                          file.path(dir, paste0("r-", style, ".gif")), every = 3, style = style)
    glebix_step(glebix_setup(sim), 6)
    expect_identical(readBin(file.path(dir, paste0("r-", style, ".gif")), "raw", 1e7),
                     readBin(file.path(dir, paste0(style, ".gif")), "raw", 1e7), label = style)
  }
})

test_that("threads and cores are bounded as in Python, with the core's message", {
  expect_equal(glebix:::gx_call(glebix:::gx_info, glebix_simulation(threads = 256)$handle)$threads,
               256L)
  expect_equal(nrow(glebix_run(steps = 1, seed = 1, cores = 256)), 2)
  expect_equal(nrow(glebix_run(steps = 1, seed = 1, cores = 0, replicates = 2)), 4)
  refused <- list(
    list(quote(glebix_simulation(threads = 100000)), "threads", "de fils de 0 \u00e0 256"),
    list(quote(glebix_run(steps = 1, seed = 1, threads = 257)), "threads", "de fils de 0 \u00e0 256"),
    list(quote(glebix_run(steps = 1, seed = 1, cores = 257)), "cores",
         "simultan\u00e9es de 0 (une par processeur) \u00e0 256"),
    list(quote(glebix_sweep(data.frame(Survival = 0.3), cores = -1)), "cores", "\u00ab-1\u00bb"),
    list(quote(glebix_run(steps = 1, cores = 1e9)), "cores", "\u00e0 256"))
  for (case in refused) {
    e <- tryCatch(eval(case[[1]]), glebix_error = identity)
    expect_s3_class(e, "glebix_error")
    expect_match(conditionMessage(e), case[[3]], fixed = TRUE)
    expect_equal(e$context$setting, case[[2]])
  }
})

test_that("the batch tool's warnings are R warnings of class glebix_warning", {
  species <- write_lines("0.45 3 1 0.5 2 0.2 0 0.9 1 1.25", "species.txt")
  lines <- rep(paste(rep("50", 50), collapse = " "), 50)
  lines[1] <- sub("^50", "-9999", lines[1])  # one cell left unnamed
  env <- write_lines(c("ncols 50", "nrows 50", "xllcorner 0", "yllcorner 0", "cellsize 1",
                       "nodata_value -9999", lines), "env.asc")
  said <- suppressWarnings(system2(batch_tool(), c("--validate", "--steps", "1", "--species",
                                                    species, "--set", "EnvInitMode=0", "--set",
                                                    paste0("EnvFilePath=", env), "--set",
                                                    "Survival=1.5"), stdout = TRUE, stderr = TRUE))
  expected <- sub(".* : attention : ", "", grep(" : attention : ", said, value = TRUE))
  expect_length(expected, 3)
  caught <- list()
  withCallingHandlers(
    glebix_simulation(seed = 1, species = species, EnvInitMode = 0, EnvFilePath = env,
                      Survival = 1.5),
    warning = function(w) {
      caught[[length(caught) + 1]] <<- w
      invokeRestart("muffleWarning")
    })
  expect_equal(vapply(caught, conditionMessage, ""), expected)
  expect_true(all(vapply(caught, inherits, TRUE, "glebix_warning")))
  # A design: a point's own warning names the point.
  expect_warning(glebix_sweep(data.frame(Survival = c(0.5, 1.5)), steps = 0, seed = 1),
                 "point 2 : Survival vaut 1.5", class = "glebix_warning", fixed = TRUE)
  expect_no_warning(glebix_simulation(seed = 1))
})

test_that("no output replaces a file the run reads, even with a band chosen", {
  dir <- tempfile("glebix-inputs-")
  first <- glebix_step(glebix_setup(glebix_simulation(seed = 2, steps = 2)), 2)
  grids <- glebix_write_asc(first, dir)
  kept <- readLines(grids[2])
  sim <- glebix_simulation(seed = 2, steps = 2, EnvInitMode = 0, EnvFilePath = grids[2])
  glebix_step(glebix_setup(sim), 2)
  expect_error(glebix_write_asc(sim, dir), "désignent le même fichier", class = "glebix_error")
  expect_error(glebix_write_netcdf(sim, grids[2]), "désignent le même fichier", class = "glebix_error")
  banded <- glebix_simulation(seed = 2, steps = 2, EnvInitMode = 0, EnvFilePath = paste0(grids[2], ":1"))
  expect_error(glebix_animate(banded, grids[2]), "désignent le même fichier", class = "glebix_error")
  expect_equal(readLines(grids[2]), kept)
})
