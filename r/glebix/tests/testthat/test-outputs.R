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
  writers <- list(result = glebix_write_result_file, asc = glebix_write_asc)
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

test_that("threads and cores are bounded as in Python, with the core's message", {
  expect_equal(glebix:::gx_call(glebix:::gx_info, glebix_simulation(threads = 256)$handle)$threads,
               256L)
  expect_equal(nrow(glebix_run(steps = 1, seed = 1, cores = 256)), 2)
  refused <- list(
    list(quote(glebix_simulation(threads = 100000)), "threads", "de fils de 0 \u00e0 256"),
    list(quote(glebix_run(steps = 1, seed = 1, threads = 257)), "threads", "de fils de 0 \u00e0 256"),
    list(quote(glebix_run(steps = 1, seed = 1, cores = 257)), "cores", "simultan\u00e9es de 1 \u00e0 256"),
    list(quote(glebix_sweep(data.frame(Survival = 0.3), cores = 0)), "cores", "\u00ab0\u00bb"),
    list(quote(glebix_run(steps = 1, cores = 1e9)), "cores", "de 1 \u00e0 256"))
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
