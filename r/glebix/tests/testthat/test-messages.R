# Messages in the user's language: French when the first of LANGUAGE, LC_ALL,
# LC_MESSAGES and LANG that is set names French, English otherwise.

in_language <- function(lang, code) {
  names <- c("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")
  kept <- Sys.getenv(names, unset = NA)
  on.exit({
    Sys.unsetenv(names)
    if (any(!is.na(kept))) do.call(Sys.setenv, as.list(kept[!is.na(kept)]))
  })
  Sys.unsetenv(names)
  Sys.setenv(LANG = lang)
  code
}

message_of <- function(code) conditionMessage(tryCatch(code, error = identity))

test_that("a refused argument is told in French or in English", {
  expect_equal(in_language("fr_FR.UTF-8", message_of(glebix_simulation(seed = -1))),
               "seed : -1 n'est pas un entier de 0 \u00e0 4294967295")
  expect_equal(in_language("en_US.UTF-8", message_of(glebix_simulation(seed = -1))),
               "seed: -1 is not a whole number from 0 to 4294967295")
})

test_that("an engine error is told in French or in English", {
  missing <- file.path(tempdir(), "absent.txt")
  setup <- function() glebix_setup(glebix_simulation(seed = 1, steps = 1, EnvInitMode = 0,
                                                     EnvFilePath = missing))
  expect_equal(in_language("fr_FR.UTF-8", message_of(setup())),
               paste0("EnvFilePath \u00ab ", missing, " \u00bb : Fichier introuvable"))
  expect_equal(in_language("C", message_of(setup())),
               paste0("EnvFilePath \"", missing, "\": File not found"))
})

test_that("the package's own refusals and the settings' descriptions follow the language", {
  expect_equal(in_language("fr_FR.UTF-8", message_of(glebix_simulation(replicate = 2))),
               "replicate : une graine (seed) est n\u00e9cessaire")
  expect_equal(in_language("en_US.UTF-8", message_of(glebix_simulation(replicate = 2))),
               "replicate: a seed is needed")
  described <- function() {
    table <- glebix_settings()
    table$description[table$name == "DispersalFirst"]
  }
  expect_equal(in_language("fr_FR.UTF-8", described()), "la dispersion pr\u00e9c\u00e8de la survie")
  expect_equal(in_language("en_US.UTF-8", described()), "dispersal comes before survival")
})
