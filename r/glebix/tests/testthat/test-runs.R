test_that("runs give the same rows on one core and on two", {
  design <- data.frame(Survival = c(0.35, 0.45), DistInitMode = c(1L, 4L))
  one <- glebix_sweep(design, replicates = 3, seed = 99, steps = 15, cores = 1)
  two <- glebix_sweep(design, replicates = 3, seed = 99, steps = 15, cores = 2)
  expect_identical(two, one)
  expect_identical(glebix_run(steps = 10, seed = 4, replicates = 3, cores = 2),
                   glebix_run(steps = 10, seed = 4, replicates = 3, cores = 1))
  # By default, one run per processor, as Python's and the batch tool's.
  expect_identical(glebix_run(steps = 10, seed = 4, replicates = 3),
                   glebix_run(steps = 10, seed = 4, replicates = 3, cores = 1))
})

test_that("a sweep has the batch table's columns and rows, in order of point, then replicate", {
  design <- data.frame(Fecundity = c(2, 2.5), DistMean = c(5L, 8L))
  out <- glebix_sweep(design, replicates = 2, seed = 7, steps = 3)
  expect_equal(names(out), c("point", "replicate", "seed", "Fecundity", "DistMean", "step",
                             "cell_density", "cell_compacted", "cell_decompacted",
                             "mean_density", "mean_compacted", "total_density"))
  expect_equal(nrow(out), 2 * 2 * 4)
  expect_equal(out$point, rep(1:2, each = 8))
  expect_equal(out$replicate, rep(rep(1:2, each = 4), 2))
  expect_equal(out$step, rep(0:3, 4))
  expect_equal(out$Fecundity, rep(c(2, 2.5), each = 8))
  expect_equal(out$DistMean, rep(c(5L, 8L), each = 8))
})

test_that("a thinned sweep with run metrics is the batch tool's thinned table", {
  dir <- tempfile("glebix-")
  dir.create(dir)
  writeLines(c("Survival", "0.3", "0.5"), file.path(dir, "design.csv"))
  metrics <- c("final_total", "occupied_share", "time_mean_total_density@2:7")
  for (every in c("3", "last")) {
    table <- file.path(dir, paste0("table-", every, ".csv"))
    run_batch("--seed", "5", "--steps", "10", "--replicates", "2", "--design",
              file.path(dir, "design.csv"), "--table", table, "--table-every", every,
              rbind("--table-metric", metrics))
    out <- glebix_sweep(data.frame(Survival = c(0.3, 0.5)), replicates = 2, seed = 5, steps = 10,
                        table_every = every, table_metrics = metrics)
    expected <- utils::read.csv(table, check.names = FALSE)
    attr(out, "master_seed") <- NULL
    expect_equal(names(out), names(expected))
    expect_equal(as.list(out), as.list(expected), tolerance = 0)
  }
  expect_error(glebix_sweep(data.frame(Survival = 0.3), steps = 2, table_metrics = "mean_density"),
               "mean_density")
  expect_error(glebix_run(steps = 2, table_every = 0), "table_every")
})

test_that("replicate r of every point shares a seed, unless the seeds are independent", {
  design <- data.frame(Survival = c(0.4, 0.5))
  common <- glebix_sweep(design, replicates = 3, seed = 123, steps = 0)
  plain <- glebix_run(steps = 0, seed = 123, replicates = 6)
  expect_equal(common$seed, rep(plain$seed[1:3], 2))
  expect_equal(common$seed[1], 123)
  independent <- glebix_sweep(design, replicates = 3, seed = 123, steps = 0,
                              independent_seeds = TRUE)
  expect_equal(independent$seed, plain$seed)
  expect_equal(length(unique(plain$seed)), 6)
})

test_that("any run of a sweep can be repeated alone from its settings and seed", {
  design <- data.frame(Survival = c(0.4, 0.5), EnvDynamic = c(TRUE, FALSE))
  out <- glebix_sweep(design, replicates = 2, seed = 2024, steps = 6, DispersalSigma = 0.8)
  row <- out[out$point == 2 & out$replicate == 2, ]
  sim <- ready(seed = row$seed[1], steps = 6, DispersalSigma = 0.8, Survival = 0.5,
               EnvDynamic = FALSE)
  trace <- glebix_trace(glebix_step(sim, 6))
  expect_equal(as.list(row[names(trace)]), as.list(trace), ignore_attr = TRUE)
})

test_that("a share of the points runs with the seeds and rows it has in the whole sweep", {
  design <- data.frame(Survival = c(0.35, 0.4, 0.45, 0.5))
  for (independent in c(FALSE, TRUE)) {
    whole <- glebix_sweep(design, replicates = 2, seed = 77, steps = 5,
                          independent_seeds = independent)
    share <- glebix_sweep(design, replicates = 2, seed = 77, steps = 5,
                          independent_seeds = independent, points = c(4, 2))
    expect_equal(share, whole[whole$point %in% c(2, 4), ], ignore_attr = TRUE)
  }
  expect_error(glebix_sweep(design, points = 5), class = "glebix_error")
  expect_error(glebix_sweep(design, points = c(1, 1)), class = "glebix_error")
})

test_that("an NA in the design keeps the value the point has without it, and shows it", {
  design <- data.frame(Survival = c(NA, 0.5))
  out <- glebix_sweep(design, seed = 8, steps = 4, Survival = 0.3)
  base <- glebix_run(steps = 4, seed = 8, Survival = 0.3)
  expect_equal(out[out$point == 1, names(base)[-1]], base[names(base)[-1]],
               ignore_attr = TRUE)
  expect_equal(unique(out$Survival), c(0.3, 0.5))

  design <- data.frame(EnvDynamic = c(NA, FALSE), DistMean = c(NA, 3L), ChartCellX = NA,
                       EnvFilePath = c("e.txt", NA), stringsAsFactors = FALSE)
  out <- suppressWarnings(glebix_sweep(design, steps = 0, DistMean = 7, EnvFilePath = "f.txt"))
  expect_identical(out$EnvDynamic, c("on", "off"))  # flags as the batch tool's table writes them
  expect_identical(out$DistMean, c(7L, 3L))
  expect_identical(out$ChartCellX, c(8L, 8L))
  expect_identical(out$EnvFilePath, c("e.txt", "f.txt"))
})

test_that("counts beyond an R integer are refused with the package's message", {
  cases <- list(
    list(quote(glebix_run(replicates = 3e9)), "replicates : 3000000000 n'est pas un nombre entier"),
    list(quote(glebix_sweep(data.frame(Survival = c(0.3, 0.4, 0.5)), replicates = 1e9)),
         "trop de simulations"),
    list(quote(glebix_run(replicates = 1e9)), "trop de lignes"),
    list(quote(glebix_run(steps = 2^31, replicates = 1)), "steps : 2147483648"))
  for (case in cases) {
    expect_no_warning(e <- tryCatch(eval(case[[1]]), error = identity))
    expect_s3_class(e, "glebix_error")
    expect_match(conditionMessage(e), case[[2]], fixed = TRUE)
  }
})

test_that("every problem of a design is reported with its row and column, before any run", {
  design <- data.frame(Survival = c("0.4", "x", "0.5"), DistMean = c(1, 2, 2.5),
                       stringsAsFactors = FALSE)
  e <- tryCatch(glebix_sweep(design, steps = 1), error = identity)
  expect_s3_class(e, "glebix_error")
  lines <- strsplit(conditionMessage(e), "\n")[[1]]
  expect_length(lines, 2)
  expect_match(lines[1], "^design, ligne 2 : param\u00e8tre Survival : \u00abx\u00bb")
  expect_match(lines[2], "^design, ligne 3 : param\u00e8tre DistMean : \u00ab2.5\u00bb")
  expect_equal(e$context[c("setting", "line", "token")],
               list(setting = "Survival", line = 2L, token = "x"))

  e <- tryCatch(glebix_sweep(data.frame(Survivl = 0.4)), error = identity)
  expect_match(conditionMessage(e), "voulez-vous dire Survival ?", fixed = TRUE)
  expect_error(glebix_sweep(data.frame()), class = "glebix_error")
  expect_error(glebix_sweep(list(Survival = 0.4)), class = "glebix_error")

  missing <- file.path(tempdir(), "absent.txt")
  design <- data.frame(DistInitMode = c(4L, 0L), DistFilePath = c("", missing))
  e <- tryCatch(glebix_sweep(design, steps = 1), error = identity)
  expect_s3_class(e, "glebix_error")
  expect_match(conditionMessage(e), "point 2 : Fichier introuvable")
})

test_that("a run that fails part-way stops the call but keeps every row computed", {
  # Crowded cells spread with a factor of about 2^2000, which overflows.
  design <- data.frame(DispersalSensitivity = c(0L, 2000L))
  e <- tryCatch(glebix_sweep(design, seed = 1, steps = 5, DistConstant = 500),
                error = identity)
  expect_s3_class(e, "glebix_error")
  expect_match(conditionMessage(e), "^point 2, simulation 1 \\(graine 1\\) : ")
  expect_match(e$glebix_message, "virgule flottante")
  expect_equal(sum(e$result$point == 1), 6)
  reached <- e$result$step[e$result$point == 2]
  expect_lt(length(reached), 6)
  expect_equal(reached, seq_along(reached) - 1L)
})

test_that("progressr hears of every run as it ends, and the rows do not change", {
  skip_if_not_installed("progressr")
  old <- options(progressr.enable = TRUE)  # off by default outside interactive sessions
  on.exit(options(old), add = TRUE)
  design <- data.frame(Survival = c(0.35, 0.45, 0.5))
  for (cores in c(1, 2)) {
    ended <- 0
    heard <- withCallingHandlers(
      glebix_sweep(design, replicates = 2, seed = 5, steps = 8, cores = cores),
      progression = function(p) if (identical(p$type, "update")) ended <<- ended + p$amount)
    expect_equal(ended, 6)
    expect_identical(heard, glebix_sweep(design, replicates = 2, seed = 5, steps = 8, cores = 2))
  }
  shown <- capture.output(
    progressr::with_progress(runs <- glebix_run(steps = 2, seed = 1, replicates = 3),
                             handlers = progressr::handler_txtprogressbar(style = 3, file = stdout())))
  expect_match(paste(shown, collapse = ""), "100%", fixed = TRUE)
})

test_that("on the workers of a future plan, the runs give the local rows, seeds included", {
  skip_if_not_installed("future.apply")
  design <- data.frame(Survival = c(0.35, 0.45), DistInitMode = c(1L, 4L))
  local <- list(glebix_sweep(design, replicates = 3, seed = 99, steps = 12, independent_seeds = TRUE),
                glebix_run(steps = 10, seed = 4, replicates = 3))
  old <- future::plan(future::multisession, workers = 2)
  on.exit(future::plan(old), add = TRUE)
  worker <- future::value(future::future(Sys.getpid()))
  expect_false(worker == Sys.getpid())
  expect_identical(glebix_sweep(design, replicates = 3, seed = 99, steps = 12,
                                independent_seeds = TRUE), local[[1]])
  expect_identical(glebix_run(steps = 10, seed = 4, replicates = 3), local[[2]])
  failing <- quote(glebix_sweep(data.frame(DispersalSensitivity = c(0L, 2000L)), seed = 1,
                                steps = 5, DistConstant = 500))
  remote <- tryCatch(eval(failing), error = identity)
  future::plan(future::sequential)
  here <- tryCatch(eval(failing), error = identity)
  expect_identical(conditionMessage(remote), conditionMessage(here))
  expect_identical(remote$result, here$result)
})
