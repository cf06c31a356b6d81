# R's recycling rules, argument checks with messages naming the argument,
# and NA and NaN passed through.

test_that("arguments recycle to the longest length", {
  h <- sylvo_height("a", c(10, 20, 30, 40), 24)
  expect_identical(h, sylvo_height("a", c(10, 20, 30, 40), rep(24, 4), c(0, 0, 0, 0)))
  expect_identical(sylvo_height("b", c(10, 20), c(20, 24, 28, 30)),
                   sylvo_height("b", c(10, 20, 10, 20), c(20, 24, 28, 30)))
  g <- sylvo_grow("c", 10, c(20, 30, 40), 1500, 10)
  expect_s3_class(g, "data.frame")
  expect_named(g, c("trees_per_ha", "ba_m2_per_ha"))
  expect_identical(nrow(g), 3L)
  expect_identical(g[2, "ba_m2_per_ha"], sylvo_grow("c", 10, 30, 1500, 10)$ba_m2_per_ha)
  # Integers and zero lengths as R has them.
  expect_identical(sylvo_volume("a", 20L, 1000L, 30L), sylvo_volume("a", 20, 1000, 30))
  expect_identical(sylvo_volume("a", numeric(), 1000, 30), numeric())
  expect_identical(nrow(sylvo_grow("a", 10, 20, numeric(), 5)), 0L)
})

test_that("lengths that do not recycle are an error naming the arguments", {
  expect_error(sylvo_height("a", 1:3, c(20, 24)), "^site: length 2 does not recycle to the length of age \\(3\\)")
  expect_error(sylvo_grow("a", 10, 20, 1:4, 1:3), "ba: length 3 .*trees \\(4\\)")
  expect_error(sylvo_ba_after("b", 1:2, 1:5, 1:5, 1:3), "p, trees_after: length 2, 3 does not recycle")
})

test_that("bad models, modes, thread counts and types are refused by name", {
  expect_error(sylvo_height("d", 10, 20), "model: \"d\" is not a model; accepted: \"a\", \"b\" or \"c\"")
  expect_error(sylvo_height(c("a", "b"), 10, 20), "^model:")
  expect_error(sylvo_grow("a", 10, 20, 1000, 10, mode = "quick"), "^mode: \"quick\"")
  expect_error(sylvo_grow("a", 10, 20, 1000, 10, threads = -1), "^threads: -1")
  expect_error(sylvo_grow("a", 10, 20, 1000, 10, threads = 1.5), "^threads:")
  expect_error(sylvo_volume("a", "20", 1000, 30), "^height: character is not numeric")
  expect_error(sylvo_site("a", 20, factor(30)), "^age: factor is not numeric")
  # Upper case is a model too.
  expect_identical(sylvo_height("B", 30, 24), sylvo_height("b", 30, 24))
})

test_that("NA and NaN pass through as the engine gives them", {
  h <- sylvo_height("a", c(NA, NaN, 30, 30), c(24, 24, NA, NaN))
  expect_true(all(is.na(h[1:2])))
  # A site index that is not a number gives 0, as SylvoHeight documents.
  expect_identical(h[3:4], c(0, 0))
  g <- sylvo_grow("b", 10, c(20, NA), c(NA, 1000), 10)
  expect_true(all(is.na(unlist(g))))
  # An all-NA logical vector is a numeric NA.
  expect_true(is.na(sylvo_volume("c", NA, 1000, 20)))
  expect_identical(is.na(sylvo_merch_volume("a", 20, 1000, c(NaN, 30), 12)), c(TRUE, FALSE))
})

test_that("random arguments give results or an error naming the argument", {
  # Values of every kind a caller might pass, drawn at random into every
  # argument position: a call either returns what the same values give as
  # plain doubles, or stops with a message that starts with an argument's
  # name. Never another error, a warning or a crash.
  pool <- list(30, c(10, 20), numeric(), 1:3, NA, NaN, Inf, -0, 1e308, c(5, NA, 40),
               matrix(c(10, 20, 30, 40), 2), TRUE, "20", 1 + 2i, as.Date("2020-01-01"),
               factor("3"), NULL, list(1, 2), as.difftime(5, units = "days"), c(a = 25))
  functions <- list(sylvo_height = c("age", "site", "shift"), sylvo_site = c("height", "age", "shift"),
                    sylvo_age = c("height", "site", "shift"), sylvo_volume = c("height", "trees", "ba"),
                    sylvo_merch_volume = c("height", "trees", "ba", "limit"),
                    sylvo_ba_after = c("p", "trees", "ba", "trees_after"),
                    sylvo_tph_after = c("p", "trees", "ba", "ba_after"),
                    sylvo_grow = c("t1", "t2", "trees", "ba"))
  # scripts/fuzz.sh runs this for a time (SYLVO_FUZZ_SECONDS) from a seed
  # of its own (SYLVO_FUZZ_SEED); otherwise 2000 calls from seed 12.
  seconds <- as.numeric(Sys.getenv("SYLVO_FUZZ_SECONDS", "0"))
  set.seed(as.integer(Sys.getenv("SYLVO_FUZZ_SEED", "12")))
  calls <- if (seconds > 0) .Machine$integer.max else 2000L
  end <- Sys.time() + seconds
  done <- 0
  for (k in seq_len(calls)) {
    if (seconds > 0 && Sys.time() > end) break
    done <- done + 1
    name <- names(functions)[sample.int(length(functions), 1)]
    args <- pool[sample.int(length(pool), length(functions[[name]]), replace = TRUE)]
    names(args) <- functions[[name]]
    model <- sample(list("a", "b", "c", "d", 1, NA_character_), 1)[[1]]
    call <- function(a) do.call(get(name), c(list(model), a))
    result <- tryCatch(call(args), error = function(e) e, warning = function(w) w)
    if (inherits(result, "condition")) {
      expect_s3_class(result, "error")
      expect_match(conditionMessage(result), paste0("^(model|", paste(functions[[name]], collapse = "|"), ")"),
                   info = paste(name, deparse(args)))
      next
    }
    # Numbers, or a bare NA (logical in R) for a missing value.
    taken <- vapply(args, function(a) is.numeric(a) || (is.logical(a) && all(is.na(a))), TRUE)
    expect_true(all(taken), info = paste(name, deparse(args)))
    plain <- lapply(args, as.double)
    expect_identical(result, call(plain), info = paste(name, deparse(args)))
  }
  if (seconds > 0) message("sylvo fuzz: ", done, " calls")
})
