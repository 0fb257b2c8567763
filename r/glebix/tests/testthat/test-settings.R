test_that("every setting is described, with a kind that its checks agree with", {
  table <- glebix_settings()
  expect_true(all(nzchar(table$description)))
  accepts <- function(name, value) {
    args <- setNames(list(value), name)
    made <- tryCatch(suppressWarnings(do.call(glebix_simulation, args), "glebix_warning"),
                     glebix_error = identity)
    !inherits(made, "glebix_error")
  }
  for (k in seq_len(nrow(table))) {
    name <- table$name[k]
    kind <- table$kind[k]
    expect_true(accepts(name, table$default[k]), label = name)
    if (kind == "real") {
      expect_true(accepts(name, "1e-3"), label = name)
      expect_false(accepts(name, "0,5"), label = name)
    } else if (startsWith(kind, "whole")) {
      expect_false(accepts(name, "1.5"), label = name)
    } else if (kind == "flag") {
      expect_true(accepts(name, "OFF"), label = name)
      expect_false(accepts(name, "2"), label = name)
    } else if (startsWith(kind, "mode")) {
      top <- as.integer(sub(".*-", "", kind))
      expect_true(accepts(name, top), label = name)
      expect_false(accepts(name, top + 1), label = name)
    } else if (grepl("|", kind, fixed = TRUE)) {
      # One of some words: each is taken, a misspelling is not.
      for (word in strsplit(kind, "|", fixed = TRUE)[[1]]) expect_true(accepts(name, word), label = name)
      expect_false(accepts(name, "bornee"), label = name)
    } else {
      expect_equal(kind, "path")
      expect_true(accepts(name, "un dossier/un fichier,1.txt"), label = name)
    }
  }
})

test_that("an unknown name or a bad value stops with the French message and its context", {
  e <- tryCatch(glebix_simulation(survival = 0.5), error = identity)
  expect_s3_class(e, "glebix_error")
  expect_match(conditionMessage(e), "param\u00e8tre inconnu : \u00absurvival\u00bb", fixed = TRUE)
  expect_match(conditionMessage(e), "voulez-vous dire Survival ?", fixed = TRUE)
  expect_equal(e$context$setting, "survival")

  e <- tryCatch(glebix_simulation(DispersalSigmaa = 1), error = identity)
  expect_match(conditionMessage(e), "voulez-vous dire DispersalSigma ?", fixed = TRUE)

  e <- tryCatch(glebix_simulation(Survival = "0,4"), error = identity)
  expect_s3_class(e, "glebix_error")
  expect_match(e$glebix_message, "n'est pas un nombre d\u00e9cimal", fixed = TRUE)
  expect_equal(e$context[c("setting", "token")], list(setting = "Survival", token = "0,4"))

  expect_error(glebix_simulation(DistConstant = 2.5), class = "glebix_error")
  expect_error(glebix_simulation(ResponseShape = 3), class = "glebix_error")
  expect_error(glebix_simulation(EnvDynamic = "peut-\u00eatre"), class = "glebix_error")
  expect_error(glebix_simulation(ChartCellX = 4097), class = "glebix_error")
  # Within that bound, the chart cell is checked against the plot's size, known at set-up.
  expect_error(glebix_setup(glebix_simulation(ChartCellX = 51)), class = "glebix_error")
  expect_error(glebix_simulation(Survival = c(0.4, 0.5)), class = "glebix_error")
  expect_error(glebix_simulation(Survival = NA), class = "glebix_error")
  expect_error(glebix_simulation(0.5), class = "glebix_error")
  expect_error(glebix_simulation(seed = -1), class = "glebix_error")
  expect_error(glebix_simulation(seed = 2^32), class = "glebix_error")
  expect_error(glebix_simulation(steps = 1.5), class = "glebix_error")
})

test_that("R values reach the engine exactly as the same text would", {
  from_text <- glebix_trace(glebix_step(ready(seed = 5, steps = 3,
                                              Survival = "0.30000000000000004",
                                              DistConstant = "1000000", EnvDynamic = "off"), 3))
  from_values <- glebix_trace(glebix_step(ready(seed = 5, steps = 3, Survival = 0.1 + 0.2,
                                                DistConstant = 1e6, EnvDynamic = FALSE), 3))
  expect_identical(from_values, from_text)
  # and they matter: the default survival gives another run
  other <- glebix_trace(glebix_step(ready(seed = 5, steps = 3, DistConstant = 1e6,
                                          EnvDynamic = FALSE), 3))
  expect_false(identical(other, from_text))
})

test_that("a species file is read as the batch tool reads it, before the settings", {
  species <- write_lines(c("0.5", "3", "2", "-1.5", "0.1", "0.2", "0", "1", "0", "0.7"))
  sim <- glebix_simulation(seed = 3, steps = 2, species = species, Fecundity = 2)
  expected <- glebix_simulation(seed = 3, steps = 2, Survival = 0.5, Fecundity = 2,
                                ResponseShape = 2, ResponseOptimum = -1.5,
                                ResponseTolerance = 0.1, CompactionC = 0.2,
                                MortalityAlpha = 1, DispersalSensitivity = 0,
                                DispersalSigma = 0.7)
  expect_identical(glebix_trace(glebix_step(glebix_setup(sim), 2)),
                   glebix_trace(glebix_step(glebix_setup(expected), 2)))
  e <- tryCatch(glebix_simulation(species = file.path(tempdir(), "absent.txt")),
                error = identity)
  expect_s3_class(e, "glebix_error")
  expect_equal(e$glebix_message, "Fichier introuvable")
  expect_equal(e$context$path, file.path(tempdir(), "absent.txt"))
})

test_that("the settings of a simulation made without species file repeat its run", {
  sim <- glebix_simulation(seed = 9, steps = 3, EnvMean = 40.5, DispersalFirst = TRUE,
                           ResponseOptimum = 0.1 + 0.2)
  mine <- glebix_settings(sim)
  expect_equal(names(mine), c("name", "value", "default", "kind", "description"))
  expect_equal(mine$value[mine$name == "EnvMean"], "40.5")
  again <- do.call(glebix_simulation, c(list(seed = 9, steps = 3),
                                        setNames(as.list(mine$value), mine$name)))
  expect_identical(glebix_trace(glebix_step(glebix_setup(again), 3)),
                   glebix_trace(glebix_step(glebix_setup(sim), 3)))
})
