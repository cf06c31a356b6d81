# Regimes in R: the same documents as the command line (a list or a file's
# path) give the same tables, events and notes, and a refused document names
# its place as the command line does.

regimes <- list(regimes = list(
  list(name = "dense", events = list(
    list(action = "thin", at = 20, target = list(trees_per_ha = 800), p = 20),
    list(action = "thin", every = list(from = 25, step = 10, to = 45), target = list(remove_ba_fraction = 0.25),
         p = 20),
    list(action = "thin", when = list(sdi_per_ha_over = 900, from_age = 15, min_years_since_thinning = 5),
         target = list(sdi_per_ha = 550), p = 20, min_removal = list(volume_m3_per_ha = 15)),
    list(action = "harvest", when = list(mai_culminates = TRUE)))),
  list(name = "light", check_every = 2, events = list(
    list(action = "thin", when = list(ba_m2_per_ha_over = 35), target = list(relative_density = 0.45), p = 12),
    list(action = "harvest", at = 70)))))
stand <- list(site = 24, start_age = 10, trees = 1800, ba = 6, end_age = 80, merch_limit = 12)
stand_args <- c("--site", 24, "--start-age", 10, "--trees", 1800, "--ba", 6, "--end-age", 80, "--merch-limit", 12)

test_that("a regime's table equals sylvo table --regime, events and notes included", {
  skip_without_cli()
  path <- tempfile(fileext = ".json")
  writeLines(as.character(jsonlite::toJSON(regimes, auto_unbox = TRUE, digits = NA)), path)
  for (model in c("a", "b", "c")) for (name in c("dense", "light")) {
    got <- do.call(yield_table, c(list(model, regime = regimes, regime_name = name), stand))
    cli <- read_cli_csv(run_cli(c("table", "--model", model, stand_args, "--regime", path, "--regime-name", name,
                                  "--format", "csv")))
    expect_identical(names(got), names(cli))
    expect_numbers_as_cli(got, cli, table_keys)
    expect_identical(got$event, cli$event)
    expect_identical(got$note, cli$note)
    from_path <- do.call(yield_table, c(list(model, regime = path, regime_name = name), stand))
    expect_identical(unclass(from_path)[names(from_path)], unclass(got)[names(got)])
    expect_identical(attr(got, "regime")$name, name)
  }
})

test_that("refused regimes name the place, and compare_regimes summarises each", {
  bad <- list(name = "x", events = list(list(action = "thin", at = 20, target = list(trees = 800), p = 20)))
  expect_error(do.call(yield_table, c(list("a", regime = bad), stand)),
               "^<regime>:1:[0-9]+: /events/0/target/trees: is not a key of a target")
  expect_error(do.call(yield_table, c(list("a", regime = regimes), stand)), "holds several regimes")
  expect_error(do.call(yield_table, c(list("a", regime = regimes, regime_name = "dense",
                                           thinnings = "20:tph=800:p=20"), stand)), "^thinnings: given together")
  x <- do.call(compare_regimes, c(list("b", regimes), stand))
  s <- attr(x, "summary")
  expect_identical(s$regime, c("dense", "light"))
  for (name in s$regime) {
    rows <- x[x$regime == name, ]
    expect_identical(s$max_mai_m3_per_ha_yr[s$regime == name], max(rows$mai_m3_per_ha_yr))
    expect_identical(s$end_age_yr[s$regime == name], rows$age_yr[nrow(rows)])
  }
})

test_that("yield_tables runs each stand under the regime its column names", {
  inv <- data.frame(id = c("s1", "s2", "s3"), model = c("b", "c", "a"), age_yr = c(10, 12, 10),
                    trees_per_ha = c(1800, 1500, 2000), ba_m2_per_ha = c(6, 9, 7), site_m = c(24, 26, 20),
                    end_age_yr = c(80, 70, 60), regime = c("dense", "light", "nope"), stringsAsFactors = FALSE)
  got <- yield_tables(inv, regimes = regimes, merch_limit = 12)
  one <- yield_table("b", regime = regimes, regime_name = "dense", site = 24, start_age = 10, trees = 1800,
                     ba = 6, end_age = 80, merch_limit = 12)
  expect_identical(got$trees_per_ha[got$id == "s1"], one$trees_per_ha)
  expect_identical(got$event[got$id == "s1"], one$event)
  expect_match(got$status[got$id == "s3"], "^row 3, column 8 \\(regime\\): 'nope' names no regime")
  expect_error(yield_tables(inv, merch_limit = 12), "has a column regime, but no regimes")
})
