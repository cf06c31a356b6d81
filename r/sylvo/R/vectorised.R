# The vectorised functions: each converts and recycles its arguments and
# calls the engine's batch function once.

check_model <- function(model) {
  if (!is.character(model) || length(model) != 1L || is.na(model) ||
      !(model %in% c("a", "b", "c", "A", "B", "C")))
    stop("model: ", deparse1(model), " is not a model; accepted: \"a\", \"b\" or \"c\"", call. = FALSE)
  tolower(model)
}

check_threads <- function(threads) {
  if (!is.numeric(threads) || length(threads) != 1L || is.na(threads) || threads < 0 ||
      threads != trunc(threads) || threads > .Machine$integer.max)
    stop("threads: ", deparse1(threads), " is not a thread count; accepted: a whole number, 0 for every core",
         call. = FALSE)
  as.integer(threads)
}

check_mode <- function(mode) {
  if (!is.character(mode) || length(mode) != 1L || !(mode %in% c("exact", "fast")))
    stop("mode: ", deparse1(mode), " is not a mode; accepted: \"exact\" or \"fast\"", call. = FALSE)
  mode
}

# The named arguments as doubles recycled to one length, by R's rules: a
# zero-length argument gives zero-length results, and every length must
# divide the longest; an argument that does not is an error naming it.
recycle <- function(...) {
  args <- list(...)
  for (name in names(args)) {
    x <- args[[name]]
    if (!(is.numeric(x) || (is.logical(x) && all(is.na(x)))))
      stop(name, ": ", class(x)[1], " is not numeric; accepted: a numeric vector", call. = FALSE)
  }
  lens <- vapply(args, length, 1L)
  n <- if (any(lens == 0L)) 0L else max(lens)
  bad <- lens > 0L & n %% lens != 0L
  if (any(bad)) {
    longest <- names(lens)[which.max(lens)]
    stop(sprintf("%s: length %s does not recycle to the length of %s (%d); accepted: lengths that divide the longest",
                 paste(names(lens)[bad], collapse = ", "), paste(lens[bad], collapse = ", "), longest, max(lens)),
         call. = FALSE)
  }
  lapply(args, function(x) {
    x <- as.double(x)
    attributes(x) <- NULL
    if (length(x) == n) x else rep_len(x, n)
  })
}

# The models the engine holds, with their names and versions.
sylvo_models <- function() {
  v <- .engine_info()$versions
  data.frame(model = names(v), name = vapply(names(v), .model_name, ""), version = unname(v),
             row.names = NULL)
}

sylvo_grow <- function(model, t1, t2, trees, ba, mode = "exact", threads = 0) {
  model <- check_model(model)
  mode <- check_mode(mode)
  threads <- check_threads(threads)
  a <- recycle(t1 = t1, t2 = t2, trees = trees, ba = ba)
  r <- .grow(model, a$t1, a$t2, a$trees, a$ba, mode, threads)
  data.frame(trees_per_ha = r$trees_per_ha, ba_m2_per_ha = r$ba_m2_per_ha)
}

sylvo_height <- function(model, age, site, shift = 0) {
  model <- check_model(model)
  a <- recycle(age = age, site = site, shift = shift)
  .batch3("height", model, a$age, a$site, a$shift)
}

sylvo_site <- function(model, height, age, shift = 0) {
  model <- check_model(model)
  a <- recycle(height = height, age = age, shift = shift)
  .batch3("site", model, a$height, a$age, a$shift)
}

sylvo_age <- function(model, height, site, shift = 0) {
  model <- check_model(model)
  a <- recycle(height = height, site = site, shift = shift)
  .batch3("age", model, a$height, a$site, a$shift)
}

sylvo_volume <- function(model, height, trees, ba) {
  model <- check_model(model)
  a <- recycle(height = height, trees = trees, ba = ba)
  .batch3("volume", model, a$height, a$trees, a$ba)
}

sylvo_merch_volume <- function(model, height, trees, ba, limit) {
  model <- check_model(model)
  a <- recycle(height = height, trees = trees, ba = ba, limit = limit)
  .batch4("merch_volume", model, a$height, a$trees, a$ba, a$limit)
}

sylvo_ba_after <- function(model, p, trees, ba, trees_after) {
  model <- check_model(model)
  a <- recycle(p = p, trees = trees, ba = ba, trees_after = trees_after)
  .batch4("ba_after", model, a$p, a$trees, a$ba, a$trees_after)
}

sylvo_tph_after <- function(model, p, trees, ba, ba_after) {
  model <- check_model(model)
  a <- recycle(p = p, trees = trees, ba = ba, ba_after = ba_after)
  .batch4("tph_after", model, a$p, a$trees, a$ba, a$ba_after)
}
