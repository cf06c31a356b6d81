# The references the tests compare with: the thirteen exports of the model
# libraries (through a small C host compiled here) and the sylvo command
# line. Both are found next to the engine this package was built with, or
# where SYLVO_LIBDIR and SYLVO_CLI say.

engine_prefix <- function() sylvo:::.engine_info()$prefix

model_library <- function(model) {
  dir <- Sys.getenv("SYLVO_LIBDIR", file.path(engine_prefix(), "lib"))
  file.path(dir, sprintf("libsylvo%s.so", model))
}

sylvo_cli <- function() Sys.getenv("SYLVO_CLI", file.path(engine_prefix(), "bin", "sylvo"))

skip_without_exports <- function() {
  if (!file.exists(model_library("a"))) skip(paste("no model library at", model_library("a")))
}

skip_without_cli <- function() {
  if (!file.exists(sylvo_cli())) skip(paste("no sylvo command line at", sylvo_cli()))
}

exports_host <- local({
  path <- NULL
  function() {
    if (is.null(path)) {
      src <- test_path("exports_host.c")
      exe <- tempfile("exports_host")
      cc <- system2(file.path(R.home("bin"), "R"), c("CMD", "config", "CC"), stdout = TRUE)
      out <- system(paste(cc, "-O2 -o", shQuote(exe), shQuote(src), "-ldl 2>&1"), intern = TRUE)
      if (!file.exists(exe)) stop("cannot compile the exports host: ", paste(out, collapse = "\n"))
      path <<- exe
    }
    path
  }
})

# The export FN of MODEL's library for each row of the argument vectors, as
# exact hexadecimal strings (grow: a matrix of trees and basal area).
exports <- function(model, fn, ...) {
  args <- list(...)
  input <- tempfile()
  on.exit(unlink(input))
  writeLines(do.call(paste, lapply(args, function(x) sprintf("%a", x))), input)
  out <- system2(exports_host(), c(shQuote(model_library(model)), fn), stdin = input, stdout = TRUE)
  if (!is.null(attr(out, "status"))) stop("the exports host failed for ", model, " ", fn)
  if (fn == "grow") do.call(rbind, strsplit(out, " ", fixed = TRUE)) else out
}

# Exact text of doubles, as the host prints them.
hex <- function(x) sprintf("%a", x)

# Runs the command line; returns its standard output as lines, with the
# exit status as an attribute.
run_cli <- function(args) {
  err <- tempfile()
  on.exit(unlink(err))
  out <- suppressWarnings(system2(sylvo_cli(), args, stdout = TRUE, stderr = err))
  attr(out, "stderr") <- readLines(err)
  out
}

# CSV text from the command line as a data frame of text fields.
read_cli_csv <- function(lines) {
  utils::read.csv(text = lines, colClasses = "character", na.strings = character(), check.names = FALSE)
}

# The exact text of a CSV column's numbers, read by the C library's strtod
# (R's own reader is not always correctly rounded): "NA" for an empty field.
cli_hex <- function(x) {
  input <- tempfile()
  on.exit(unlink(input))
  writeLines(x, input)
  out <- system2(exports_host(), c("-", "parse"), stdin = input, stdout = TRUE)
  if (!is.null(attr(out, "status")) || length(out) != length(x)) stop("the exports host cannot read ", x[1])
  out
}

# The same text of doubles: "NA" for NA and NaN (the command line writes
# both as an empty field).
hex_na <- function(x) ifelse(is.na(x), "NA", hex(x))

inventory_file <- function() system.file("extdata", "inventory.csv", package = "sylvo", mustWork = TRUE)

# The number columns of a yield table, and a check that a table's numbers
# equal the command line's, shared by the tables' and the regimes' tests.
table_keys <- c("age_yr", "height_m", "trees_per_ha", "ba_m2_per_ha", "qmd_cm", "volume_m3_per_ha",
                "merch_volume_m3_per_ha", "removed_trees_per_ha", "removed_ba_m2_per_ha",
                "removed_volume_m3_per_ha", "mai_m3_per_ha_yr", "pai_m3_per_ha_yr", "sdi_per_ha")

# Every number column of GOT equals the CLI's text field for field (the
# shortest text that reads back to the same double), with empty fields NA.
expect_numbers_as_cli <- function(got, cli, keys) {
  for (k in keys) expect_identical(hex_na(got[[k]]), cli_hex(cli[[k]]), label = k)
}

