# glebix_sample() and glebix_analyse() write what glebix-batch --sample and --analyse
# write, and refuse what it refuses.

test_that("the design and the indices are the batch tool's bytes", {
  dir <- tempfile("glebix-")
  dir.create(dir)
  factors <- file.path(dir, "factors.csv")
  writeLines(c("name,low,high,scale", "Survival,0.3,0.5,linear", "Fecundity,0.5,2,log"), factors)
  design <- glebix_sample("morris", factors, file.path(dir, "d.csv"), seed = 4, samples = 6,
                          levels = 4, pool = 12)
  d <- read.csv(design)
  expect_equal(names(d), c("Survival", "Fecundity"))
  expect_equal(nrow(d), 6 * 3)
  table <- data.frame(point = seq_len(nrow(d)), d, y = 3 * d$Survival + 2 * log(d$Fecundity))
  write.csv(table, file.path(dir, "t.csv"), row.names = FALSE, quote = FALSE)
  indices <- read.csv(glebix_analyse(file.path(dir, "t.csv"), factors, "morris", "y",
                                     file.path(dir, "i.csv"), seed = 2, bootstrap = 20))
  star <- indices[indices$index == "mu_star", ]
  expect_equal(star$estimate, c(3 * 0.2, 2 * log(4)), tolerance = 1e-9)
  out <- file.path(dir, "batch.csv")
  run_batch("--sample", "morris", "--factors", factors, "--samples", "6", "--levels", "4",
            "--pool", "12", "--seed", "4", "--design-out", out)
  expect_identical(readBin(out, "raw", 1e6), readBin(design, "raw", 1e6))
})

test_that("bad inputs are refused and nothing is written", {
  dir <- tempfile("glebix-")
  dir.create(dir)
  factors <- file.path(dir, "factors.csv")
  writeLines(c("name,low,high", "Survival,0.5,0.3"), factors)
  expect_error(glebix_sample("lhs", factors, file.path(dir, "d.csv"), seed = 1, samples = 4),
               "factors.csv:2: ", class = "glebix_error")
  expect_error(glebix_sample("halton", factors, file.path(dir, "d.csv"), seed = 1, samples = 4),
               "halton", class = "glebix_error")
  expect_false(file.exists(file.path(dir, "d.csv")))
})

test_that("an exploration gives the batch tool's design and indices", {
  dir <- tempfile("glebix-")
  dir.create(dir)
  factors <- file.path(dir, "factors.csv")
  writeLines(c("name,low,high", "Survival,0.3,0.5", "Fecundity,0.5,2"), factors)
  metrics <- c("final_total", "occupied_share")
  indices <- glebix_explore(factors, "morris", metrics, file.path(dir, "r"), seed = 4,
                            samples = 3, steps = 5, replicates = 2, bootstrap = 50, quiet = TRUE)
  expect_equal(indices, file.path(dir, "r", "indices.csv"))
  out <- file.path(dir, "batch")
  dir.create(out)
  run_batch("--sample", "morris", "--factors", factors, "--samples", "3", "--seed", "4",
            "--design-out", file.path(out, "design.csv"))
  run_batch("--design", file.path(out, "design.csv"), "--replicates", "2", "--seed", "4",
            "--steps", "5", "--table", file.path(out, "table.csv"), "--table-every", "last",
            "--table-metric", "final_total", "--table-metric", "occupied_share")
  run_batch("--analyse", file.path(out, "table.csv"), "--factors", factors, "--method", "morris",
            "--metric", "final_total", "--metric", "occupied_share", "--seed", "4",
            "--bootstrap", "50", "--indices", file.path(out, "indices.csv"))
  expect_identical(readBin(file.path(dir, "r", "plan.csv"), "raw", 1e6),
                   readBin(file.path(out, "design.csv"), "raw", 1e6))
  expect_identical(readBin(file.path(dir, "r", "indices.csv"), "raw", 1e6),
                   readBin(file.path(out, "indices.csv"), "raw", 1e6))
  expect_true(file.exists(file.path(dir, "r", "indices.json")))
})
