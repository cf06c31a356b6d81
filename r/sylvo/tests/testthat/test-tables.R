# Yield tables, projections and inventories of tables against the sylvo
# command line's CSV output, and the data frames' own rules: bad rows keep
# their place with a reason, carried columns, errors naming the argument.

# The command line names a line of the file, the package a row of the data
# frame: the made-up inventory has one line of header and no line breaks
# inside a field.
as_rows <- function(status) {
  m <- regmatches(status, regexec("^line ([0-9]+)(.*)$", status))
  vapply(seq_along(status), function(i) if (length(m[[i]]) == 3L)
    paste0("row ", as.integer(m[[i]][2]) - 1L, m[[i]][3]) else status[i], "")
}

stands <- list(
  list(model = "a", site = 24, start_age = 10, trees = 1800, ba = 6, end_age = 35, interval = 5,
       merch_limit = 12, thinnings = "20:tph=800:p=20"),
  list(model = "b", height = 16, height_age = 30, start_age = 10, trees = 1800, ba = 6, end_age = 33,
       interval = 5, merch_limit = 10, thinnings = c("17.5:tph=900:p=15", "25:ba=18:p=25")),
  list(model = "c", site = 28, start_age = 12, trees = 1500, ba = 10, end_age = 52, interval = 4,
       merch_limit = 12, thinnings = c("20:tph=700:p=10", "36:ba=35:p=25"), shift = 1),
  # Runs past Model A's valid range: the table stops at 45.
  list(model = "a", site = 24, start_age = 10, trees = 1800, ba = 6, end_age = 60, interval = 5,
       merch_limit = 12, thinnings = "20:tph=800:p=20")
)

cli_args <- function(s) {
  args <- c("table", "--model", s$model, "--start-age", s$start_age, "--trees", s$trees, "--ba", s$ba,
            "--end-age", s$end_age, "--interval", s$interval, "--merch-limit", s$merch_limit, "--format", "csv")
  if (!is.null(s$site)) args <- c(args, "--site", s$site)
  if (!is.null(s$height)) args <- c(args, "--height", s$height, "--height-age", s$height_age)
  if (!is.null(s$shift)) args <- c(args, "--shift", s$shift)
  c(args, paste0("--thin=", s$thinnings))
}

test_that("yield tables equal sylvo table's CSV, rows, numbers and notes", {
  skip_without_cli()
  for (s in stands) {
    got <- do.call(yield_table, s)
    out <- run_cli(cli_args(s))
    cli <- read_cli_csv(out)
    expect_s3_class(got, "sylvo_yield_table")
    expect_identical(names(got), names(cli))
    expect_identical(nrow(got), nrow(cli))
    expect_numbers_as_cli(got, cli, table_keys)
    expect_identical(got$note, cli$note)
    stopped <- identical(attr(out, "status"), 3L)
    expect_identical(!is.null(attr(got, "stop_reason")), stopped)
    if (stopped) {
      expect_match(attr(out, "stderr"), paste("at age", attr(got, "stop_age")), fixed = TRUE, all = FALSE)
      expect_match(attr(got, "stop_reason"), "stand density index 2303.72222")
    }
  }
})

test_that("yield_table refuses bad stands and thinnings with the argument's name", {
  base <- list(model = "a", site = 24, start_age = 10, trees = 1800, ba = 6, end_age = 35, merch_limit = 12)
  call_with <- function(...) do.call(yield_table, utils::modifyList(base, list(...)))
  expect_error(call_with(trees = -5), "^trees: -5 is not a number above 0")
  # The engine's checks, naming the argument rather than the CSV column.
  expect_error(call_with(end_age = 5), "^end_age: '5' is not after the start age 10")
  expect_error(call_with(start_age = 2000), "^start_age: '2000' is not above 0 and at most 1000")
  expect_error(call_with(site = 0.5), "^site: '0.5' is outside the range")
  expect_error(call_with(merch_limit = -1), "^merch_limit: '-1' is not 0 or more")
  expect_error(call_with(thinnings = "20:tph=800"), "thinnings")
  expect_error(call_with(thinnings = "20:tph=5000:p=20"), "thinnings")
  expect_error(call_with(site = NULL), "^site: missing, and so is height")
  expect_error(call_with(height = 15, height_age = 30), "^site: given with height")
  expect_error(call_with(model = "x"), "^model:")
  expect_error(yield_table("a", site = 24, start_age = 10, trees = 1800, ba = 6, end_age = 35), "^merch_limit: missing")
  # Without a merchantable limit (NA) the column is NA throughout.
  t <- call_with(merch_limit = NA)
  expect_true(all(is.na(t$merch_volume_m3_per_ha)))
  expect_identical(t$volume_m3_per_ha, call_with()$volume_m3_per_ha)
})

test_that("project_inventory equals sylvo project on the made-up inventory, flagged rows in place", {
  skip_without_cli()
  inv <- read_inventory(inventory_file())
  for (opt in list(list(to_age = 40, merch_limit = 12, cli = c("--to-age", "40", "--merch-limit", "12")),
                   list(years = 17.5, model = "b", cli = c("--years", "17.5", "--model", "b")))) {
    got <- do.call(project_inventory, c(list(inv), opt[setdiff(names(opt), "cli")]))
    cli <- read_cli_csv(run_cli(c("project", "--input", inventory_file(), opt$cli)))
    expect_identical(names(got), names(cli))
    expect_identical(got$id, cli$id)
    expect_identical(got$stratum, cli$stratum)
    expect_numbers_as_cli(got, cli, setdiff(names(cli), c("id", "stratum", "status", "note")))
    expect_identical(got$note, cli$note)
    # The command line names the file's line, the package the data frame's row.
    expect_identical(got$status, as_rows(cli$status))
    expect_false(identical(got$status, cli$status))
  }
  # The same inventory read by read.csv, with numeric columns, gives the same.
  inv2 <- utils::read.csv(inventory_file())
  expect_identical(project_inventory(inv2, to_age = 40, merch_limit = 12)[, -(1:2)],
                   project_inventory(inv, to_age = 40, merch_limit = 12)[, -(1:2)])
})

test_that("yield_tables equals sylvo tables on the made-up inventory", {
  skip_without_cli()
  inv <- read_inventory(inventory_file())
  got <- yield_tables(inv, merch_limit = 12, interval = 10)
  cli <- read_cli_csv(run_cli(c("tables", "--input", inventory_file(), "--merch-limit", "12", "--interval", "10")))
  expect_identical(names(got), names(cli))
  expect_identical(got$id, cli$id)
  expect_numbers_as_cli(got, cli, table_keys)
  expect_identical(got$note, cli$note)
  expect_identical(got$status, as_rows(cli$status))
})

test_that("bad rows of a data frame keep their place with the row, column and reason", {
  df <- data.frame(id = c("ok1", "neg", "text", "empty", "model", "nan", "ok2"),
                   plot = c(1, 2, 3, 4, 5, 6, 7),
                   model = c("a", "b", "c", "a", "z", NA, ""),
                   age_yr = c(20, 20, 20, NA, 20, 20, 30),
                   trees_per_ha = c("1000", "-5", "1.2k", "900", "900", "900", "+1200"),
                   ba_m2_per_ha = c(20, 20, 20, 20, 20, NaN, 25),
                   site_m = 24, stringsAsFactors = FALSE)
  p <- project_inventory(df, years = 10, model = "b")
  expect_identical(p$id, df$id)
  expect_identical(p$plot, df$plot)
  expect_identical(p$status, c(
    "ok",
    "row 2, column 5 (trees_per_ha): -5 is not above 0",
    "row 3, column 5 (trees_per_ha): '1.2k' is not a number",
    "row 4, column 4 (age_yr): empty; a number is needed",
    "row 5, column 3 (model): 'z' is not a model; accepted: a, b or c",
    "row 6, column 6 (ba_m2_per_ha): 'NaN' is not a finite number",
    "ok"))
  expect_true(all(is.na(p$trees_per_ha[2:6])))
  # Row 1 is model a from its column, row 7 the default model b (an empty
  # field); "+1200" reads as 1200.
  expect_identical(p$trees_per_ha[c(1, 7)],
                   c(sylvo_grow("a", 20, 30, 1000, 20)$trees_per_ha, sylvo_grow("b", 30, 40, 1200, 25)$trees_per_ha))
  t <- yield_tables(cbind(df, end_age_yr = 40, thinnings = c("25:tph=700:p=20", "", "", "", "", "", "x")),
                    model = "b")
  expect_identical(unique(t$id), df$id)
  expect_identical(t$status[t$id != "ok1"], c(p$status[2:6], t$status[t$id == "ok2"]))
  expect_match(t$status[t$id == "ok2"], "^row 7, column 9 \\(thinnings\\): 'x' does not start with an age")
  expect_identical(unique(t$status[t$id == "ok1"]), "ok")
  # A reason found in the projection names its row and column too; a
  # flagged row's numbers are NA, as is the merchantable volume without a
  # limit.
  late <- project_inventory(data.frame(id = c("a", "b"), age_yr = c(995, 20), trees_per_ha = 1000,
                                       ba_m2_per_ha = 20, site_m = 22), years = 10, model = "b")
  expect_identical(late$status, c(
    "row 1, column 2 (age_yr): 995 plus 10 years gives the end age 1005, not above 0 and at most 1000", "ok"))
  expect_identical(is.na(late$height_m) & !is.nan(late$height_m), c(TRUE, FALSE))
  expect_true(all(is.na(late$merch_volume_m3_per_ha) & !is.nan(late$merch_volume_m3_per_ha)))
})

test_that("numbers in text columns are read to the nearest double, as the command line reads them", {
  skip_without_exports()
  # R's own reader takes this one a unit in the last place too high.
  text <- "55.16505398562661"
  df <- data.frame(id = "x", age_yr = "20", trees_per_ha = "1000", ba_m2_per_ha = "20", site_m = text)
  p <- project_inventory(df, years = 5)
  expect_identical(hex(p$site_m), cli_hex(text))
  expect_identical(p$height_m, sylvo_height("a", 25, p$site_m))
})

test_that("the layout of a data frame is checked before any stand", {
  inv <- read_inventory(inventory_file())
  expect_error(project_inventory(inv), "^to_age: missing, and so is years")
  expect_error(project_inventory(inv, to_age = 40, years = 5), "^to_age: given with years")
  expect_error(project_inventory(inv, to_age = 2000), "^to_age: '2000' is not above 0 and at most 1000")
  expect_error(project_inventory(inv[, names(inv) != "trees_per_ha"], to_age = 40), "lacks the column trees_per_ha")
  expect_error(project_inventory(inv[, !names(inv) %in% c("site_m", "height_age_yr")], to_age = 40),
               "lacks the column height_age_yr \\(and site_m\\)")
  expect_error(project_inventory(cbind(inv, qmd_cm = 1), to_age = 40), "the column qmd_cm would be carried")
  expect_error(project_inventory(list(a = 1), to_age = 40), "^df: list is not a data frame")
  expect_error(yield_tables(inv[, names(inv) != "end_age_yr"]), "lacks the column end_age_yr, and no end_age")
  # A projection leaves the columns of a table's layout out.
  expect_false(any(c("thinnings", "interval_yr") %in% names(project_inventory(inv, years = 5))))
})

# The graphics calls a plot of a table records, by name.
plot_calls <- function(t) {
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  grDevices::dev.control("enable")
  plot_yield_table(t)
  calls <- grDevices::recordPlot()[[1]]
  vapply(calls, function(e) { f <- e[[2]][[1]]; if (is.list(f) && !is.null(f$name)) f$name else "" }, "")
}

test_that("plot draws a yield table as small multiples, several tables overlaid, and refuses what is no table", {
  stand <- list(model = "b", site = 24, start_age = 10, trees = 1800, ba = 6, end_age = 60, merch_limit = 12)
  t <- do.call(yield_table, c(stand, list(thinnings = c("20:tph=800:p=20", "35:ba=22:p=20"))))
  file <- tempfile(fileext = ".png")
  grDevices::png(file, width = 900, height = 900)
  expect_identical(plot(t), t)
  grDevices::dev.off()
  expect_gt(file.size(file), 10000)
  # Six panels (five quantities and the key), a bar for each thinning.
  calls <- function(x) plot_calls(x)
  expect_identical(sum(calls(t) == "C_plot_new"), 6L)
  bars <- function(x) sum(calls(x) == "C_rect")
  plain <- do.call(yield_table, stand)
  expect_identical(bars(t) - bars(plain), 2L)
  # Several tables: each quantity's line once per table.
  lines_of <- function(x) sum(calls(x) == "C_plotXY")
  # Several tables: each adds its eight lines and marks (trees, basal area, height, two volumes, MAI, PAI,
  # the culmination), in the same panels.
  one <- lines_of(list(thinned = t))
  expect_identical(lines_of(list(plain = plain)), one)
  expect_identical(lines_of(list(thinned = t, plain = plain)) - one, 8L)
  long <- rbind(cbind(regime = "thinned", as.data.frame(unclass(t)[names(t)])),
                cbind(regime = "plain", as.data.frame(unclass(plain)[names(plain)])))
  expect_identical(calls(long), calls(list(thinned = t, plain = plain)))
  expect_error(plot(t[0, ]), "no rows")
  expect_error(plot(structure(t[, 1:5], class = class(t))), "lacks the columns")
  expect_error(plot_yield_table(list(t, plain)), "needs a name for each")
  expect_error(plot_yield_table(list(a = t, b = t[0, ])), "x\\[\\[\"b\"\\]\\] has no rows")
  expect_error(plot_yield_table(1:3), "is not a yield table")
})

test_that("read_inventory reads as the command line and refuses records that do not fit", {
  good <- tempfile(fileext = ".csv")
  writeBin(c(as.raw(c(0xef, 0xbb, 0xbf)),
             charToRaw('id,age_yr,remark\r\n"a,1",20,"said ""hi""\r\nthen"\r\n\r\nb,+25,\r\n')), good)
  df <- read_inventory(good)
  expect_identical(names(df), c("id", "age_yr", "remark"))
  expect_identical(df$id, c("a,1", "b"))
  expect_identical(df$age_yr, c("20", "+25"))
  expect_identical(df$remark, c("said \"hi\"\r\nthen", ""))
  con <- file(good)
  expect_identical(read_inventory(con), df)
  # A record with a field too many used to shift every column by one (the
  # first became row names); one too few was padded.
  bad <- function(lines) {
    f <- tempfile(fileext = ".csv")
    writeLines(lines, f)
    f
  }
  expect_error(read_inventory(bad(c("id,age_yr,shift_yr", "a,20,1", "b,20,1,x"))),
               "line 3: 4 fields, but the header has 3", fixed = TRUE)
  expect_error(read_inventory(bad(c("id,age_yr,shift_yr", "a,20,1", "b,20"))),
               "line 3: 2 fields, but the header has 3", fixed = TRUE)
  expect_error(read_inventory(bad(c("id,age_yr", "a,2\"0"))), "line 2, column 2: a quote inside a field")
  expect_error(read_inventory(bad(c("id,age_yr,id"))), "names the column 'id' twice")
  nul <- tempfile(fileext = ".csv")
  writeBin(charToRaw("id,age_yr\na,2"), nul)
  con <- file(nul, "ab")
  writeBin(as.raw(c(0, 0x0a)), con)
  close(con)
  expect_error(read_inventory(nul), "a NUL byte, which R text cannot hold: line 2, column 2", fixed = TRUE)
  expect_identical(dim(read_inventory(bad("id,age_yr"))), c(0L, 2L))
  expect_error(read_inventory(good, sep = ";"), "^read_inventory: takes only the file")
})
