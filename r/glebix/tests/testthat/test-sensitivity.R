# glebix_sample() and glebix_analyse() write what glebix-batch --sample and --analyse
# write, and refuse what it refuses.

test_that("the design and the indices are the batch tool's bytes", {
  dir <- tempfile("glebix-")
  dir.create(dir)
  factors <- file.path(dir, "factors.csv")
  writeLines(c("name,low,high,scale", "Survival,0.3,0.5,linear", "Fecundity,0.5,2,log"), factors)
  design <- file.path(dir, "d.csv")
  glebix_sample("morris", factors, design, seed = 4, samples = 6, levels = 4, pool = 12)
  d <- read.csv(design)
  expect_equal(names(d), c("Survival", "Fecundity"))
  expect_equal(nrow(d), 6 * 3)
  table <- data.frame(point = seq_len(nrow(d)), d, y = 3 * d$Survival + 2 * log(d$Fecundity))
  write.csv(table, file.path(dir, "t.csv"), row.names = FALSE, quote = FALSE)
  glebix_analyse(file.path(dir, "t.csv"), factors, "morris", "y", file.path(dir, "i.csv"),
                 seed = 2, bootstrap = 20)
  indices <- read.csv(file.path(dir, "i.csv"))
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
  # The indices returned are glebix_analyse()'s data frame of the file written.
  expect_identical(indices, glebix_analyse(file.path(dir, "r", "runs.csv"), factors, "morris", metrics,
                                           seed = 4, bootstrap = 50, quiet = TRUE))
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

# The file's fields as the batch tool wrote them, and a data frame's columns as that
# text: equal when the data frame holds exactly the file's numbers.
file_fields <- function(path) {
  utils::read.csv(path, colClasses = "character", check.names = FALSE, na.strings = NULL)
}
frame_fields <- function(frame) {
  as.data.frame(lapply(frame, function(column) {
    text <- if (is.double(column)) gx_format(column) else as.character(column)
    text[is.na(column)] <- "NA"
    text
  }), check.names = FALSE, stringsAsFactors = FALSE)
}
gx_format <- glebix:::gx_format

test_that("the design and the indices come back as data frames holding the files' numbers", {
  dir <- tempfile("glebix-")
  dir.create(dir)
  factors <- file.path(dir, "factors.csv")
  writeLines(c("name,low,high,scale", "Survival,0.3,0.5,linear", "Fecundity,0.5,2,log",
               "DistMean,1,6,linear"), factors)
  design <- glebix_sample("saltelli", factors, file.path(dir, "d.csv"), seed = 4, samples = 8)
  expect_equal(names(design), c("point", "Survival", "Fecundity", "DistMean"))
  expect_equal(design$point, seq_len(8 * 5))
  expect_identical(frame_fields(design[-1]), file_fields(file.path(dir, "d.csv")))
  # Without design_out nothing is written, and the same design comes back.
  expect_identical(glebix_sample("saltelli", factors, seed = 4, samples = 8), design)
  expect_identical(list.files(dir), c("d.csv", "factors.csv"))

  table <- cbind(design, y = design$Survival * log(design$Fecundity) + design$DistMean / 10)
  # In the shortest form that reads back the same (write.csv keeps 15 digits).
  glebix:::write_table(table, file.path(dir, "t.csv"))
  written <- glebix_analyse(table, factors, "saltelli", "y", file.path(dir, "i.csv"), seed = 2,
                            bootstrap = 20)
  # The file's empty step comes back as NA.
  expect_equal(names(written), c("metric", "step", "factor", "index", "estimate", "low", "high"))
  expect_true(all(is.na(written$step)))
  expect_identical(frame_fields(written)[, -2], file_fields(file.path(dir, "i.csv"))[, -2])
  expect_true(file.exists(file.path(dir, "i.json")))
  # The table as a file or as a data frame, indices written or not: the same numbers.
  expect_identical(glebix_analyse(file.path(dir, "t.csv"), factors, "saltelli", "y", seed = 2,
                                  bootstrap = 20), written)
  run_batch("--analyse", file.path(dir, "t.csv"), "--factors", factors, "--method", "saltelli",
            "--metric", "y", "--seed", "2", "--bootstrap", "20", "--indices",
            file.path(dir, "batch.csv"))
  expect_identical(readBin(file.path(dir, "i.csv"), "raw", 1e6),
                   readBin(file.path(dir, "batch.csv"), "raw", 1e6))
})

test_that("factors as a file, a data frame or a named list are the same factors", {
  dir <- tempfile("glebix-")
  dir.create(dir)
  factors <- file.path(dir, "factors.csv")
  writeLines(c("name,low,high,scale", "Survival,0.3,0.5,linear", "Fecundity,0.5,2,log"), factors)
  frame <- data.frame(name = c("Survival", "Fecundity"), low = c(0.3, 0.5), high = c(0.5, 2),
                      scale = c("linear", "log"))
  listed <- list(Survival = c(0.3, 0.5), Fecundity = list(0.5, 2, "log"))
  from_file <- glebix_sample("lhs", factors, seed = 9, samples = 12)
  expect_identical(glebix_sample("lhs", frame, seed = 9, samples = 12), from_file)
  expect_identical(glebix_sample("lhs", listed, seed = 9, samples = 12), from_file)
  table <- cbind(from_file, y = from_file$Survival + log(from_file$Fecundity))
  indices <- glebix_analyse(table, factors, "lhs", "y", seed = 1, bootstrap = 10)
  expect_identical(glebix_analyse(table, frame, "lhs", "y", seed = 1, bootstrap = 10), indices)
  expect_identical(glebix_analyse(table, listed, "lhs", "y", seed = 1, bootstrap = 10), indices)
  # A column of texts with commas and quotes is handed over whole.
  table$note <- "a, \"b\""
  expect_identical(glebix_analyse(table, listed, "lhs", "y", seed = 1, bootstrap = 10), indices)
  # A problem names the factor, and the ranges are checked as a file's are.
  expect_error(glebix_sample("lhs", list(Survival = c(0.6, 0.3)), seed = 1, samples = 4),
               "facteur Survival : .*high", class = "glebix_error")
  expect_error(glebix_sample("lhs", data.frame(name = "PlotWidth", low = 1, high = 5000),
                             seed = 1, samples = 4), "facteur PlotWidth : .*5000", class = "glebix_error")
  expect_error(glebix_sample("lhs", list(c(0, 1)), seed = 1, samples = 4),
               class = "glebix_error")
  expect_error(glebix_analyse(list(1), factors, "lhs", "y", seed = 1), class = "glebix_error")
})

test_that("the figure is the batch tool's, and never replaces an input", {
  dir <- tempfile("glebix-")
  dir.create(dir)
  factors <- file.path(dir, "factors.csv")
  writeLines(c("name,low,high", "a,0,1", "b,0,1"), factors)
  design <- glebix_sample("morris", factors, seed = 3, samples = 5)
  write.csv(cbind(design, y = 2 * design$a + design$b), file.path(dir, "t.csv"),
            row.names = FALSE, quote = FALSE)
  glebix_analyse(file.path(dir, "t.csv"), factors, "morris", "y", seed = 1, bootstrap = 10,
                 figure = file.path(dir, "r.png"))
  run_batch("--analyse", file.path(dir, "t.csv"), "--factors", factors, "--method", "morris",
            "--metric", "y", "--seed", "1", "--bootstrap", "10", "--indices",
            file.path(dir, "i.csv"), "--figure", file.path(dir, "batch.png"))
  png <- readBin(file.path(dir, "r.png"), "raw", 1e7)
  expect_identical(png[2:4], charToRaw("PNG"))
  expect_identical(png, readBin(file.path(dir, "batch.png"), "raw", 1e7))
  expect_error(glebix_analyse(file.path(dir, "t.csv"), factors, "morris", "y", seed = 1,
                              figure = factors), class = "glebix_error")
  expect_identical(readLines(factors), c("name,low,high", "a,0,1", "b,0,1"))
})

test_that("a metric function gives a column of the table that the analysis takes", {
  dir <- tempfile("glebix-")
  dir.create(dir)
  seen <- new.env()
  peak <- function(rows) {
    seen$ordered <- c(seen$ordered, !is.unsorted(rows$step))
    seen$steps <- c(seen$steps, nrow(rows))
    max(rows$total_density)
  }
  glebix_explore(list(Survival = c(0.3, 0.5), Fecundity = c(0.5, 2)), "morris",
                 c("peak", "final_total"), file.path(dir, "r"), seed = 4, samples = 2, steps = 4,
                 bootstrap = 10, quiet = TRUE, metric_functions = list(peak = peak))
  runs <- read.csv(file.path(dir, "r", "runs.csv"))
  expect_true(all(seen$ordered))
  expect_true(all(seen$steps == 5))
  expect_equal(nrow(runs), 2 * 3)
  expect_true(all(runs$step == 4))
  expect_true(all(runs$peak >= runs$total_density))
  indices <- read.csv(file.path(dir, "r", "indices.csv"))
  expect_setequal(unique(indices$metric), c("peak", "final_total"))
  expect_error(glebix_explore(list(Survival = c(0.3, 0.5)), "lhs", "x", file.path(dir, "s"),
                              seed = 1, samples = 2, steps = 1,
                              metric_functions = list(x = function(rows) "many")),
               "metric_functions : x", class = "glebix_error")
  expect_error(glebix_sweep(data.frame(Survival = 0.4), steps = 1, seed = 1,
                            metric_functions = list(total_density = function(rows) 1)),
               "total_density", class = "glebix_error")
  expect_error(glebix_sample("lhs", list(Survival = c(0.3, 0.5)), samples = 4), "seed",
               class = "glebix_error")
})

test_that("a sweep thins its table after its metric functions saw every step", {
  seen <- integer()
  steps <- function(rows) {
    seen[length(seen) + 1] <<- nrow(rows)
    max(rows$step)
  }
  design <- data.frame(Survival = c(0.3, 0.5))
  plain <- glebix_sweep(design, replicates = 2, seed = 3, steps = 6, table_every = 3)
  table <- glebix_sweep(design, replicates = 2, seed = 3, steps = 6, table_every = 3,
                        metric_functions = list(steps = steps))
  expect_equal(seen, rep(7L, 4))
  expect_identical(attr(table, "master_seed"), attr(plain, "master_seed"))
  kept <- table[names(plain)]
  attr(kept, "master_seed") <- attr(plain, "master_seed")
  expect_identical(kept, plain)
  expect_true(all(table$steps == 6))
})
