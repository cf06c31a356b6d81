# Yield tables and inventories in data frames: the engine makes every
# table and projection; this file checks options, moves columns between
# data frames and the engine, and presents the results.

# One number option: a single finite number above 0 (or NULL/NA where
# NULL_OK), else an error naming it.
check_number <- function(x, name, null_ok = FALSE, positive = TRUE) {
  if (is.null(x) || (length(x) == 1L && is.na(x) && !is.nan(x))) {
    if (null_ok) return(NA_real_)
    stop(name, ": missing; accepted: a number", call. = FALSE)
  }
  if (!is.numeric(x) || length(x) != 1L || !is.finite(x) || (positive && x <= 0))
    stop(name, ": ", deparse1(x), " is not ", if (positive) "a number above 0" else "a finite number",
         "; accepted: one ", if (positive) "number above 0" else "finite number", call. = FALSE)
  as.double(x)
}

# A regime given as a list (the regime file's form) or a file's path, as
# the document's text and the name messages give it.
regime_source <- function(regime, what = "regime") {
  if (is.list(regime))
    return(list(text = as.character(jsonlite::toJSON(regime, auto_unbox = TRUE, digits = NA, null = "null")),
                source = paste0("<", what, ">")))
  if (is.character(regime) && length(regime) == 1L && !is.na(regime)) {
    if (!file.exists(regime))
      stop(regime, ": cannot be opened; accepted: a readable regime file (JSON)", call. = FALSE)
    text <- readChar(regime, file.info(regime)$size, useBytes = TRUE)
    return(list(text = text, source = regime))
  }
  stop(what, ": ", class(regime)[1], " is not a regime; accepted: a list of the regime file's form, or the path ",
       "of a regime file", call. = FALSE)
}

yield_table <- function(model, site = NULL, height = NULL, height_age = NULL, shift = 0, start_age, trees, ba,
                        end_age, interval = 5, merch_limit, thinnings = character(), max_sdi = 1500,
                        regime = NULL, regime_name = NULL) {
  model <- check_model(model)
  if (!is.null(regime) && length(thinnings) > 0)
    stop("thinnings: given together with regime; accepted: thinnings or a regime, not both", call. = FALSE)
  if (is.null(regime) && !is.null(regime_name))
    stop("regime_name: given without regime; accepted: regime (a list or a path) with it", call. = FALSE)
  if (!is.null(regime_name) && !(is.character(regime_name) && length(regime_name) == 1L && !is.na(regime_name)))
    stop("regime_name: not a name; accepted: the name of a regime of the file", call. = FALSE)
  rs <- if (is.null(regime)) list(text = "", source = "") else regime_source(regime)
  if (is.null(site) && (is.null(height) || is.null(height_age)))
    stop("site: missing, and so is height with height_age; accepted: site (m), or height (m) and height_age (yr)",
         call. = FALSE)
  if (!is.null(site) && (!is.null(height) || !is.null(height_age)))
    stop("site: given with height or height_age; accepted: site, or height and height_age, not both",
         call. = FALSE)
  site <- check_number(site, "site", null_ok = TRUE)
  height <- check_number(height, "height", null_ok = TRUE)
  height_age <- check_number(height_age, "height_age", null_ok = TRUE)
  shift <- check_number(shift, "shift", positive = FALSE)
  if (missing(merch_limit)) stop("merch_limit: missing; accepted: a diameter limit in cm, or NA for none",
                                 call. = FALSE)
  merch_limit <- check_number(merch_limit, "merch_limit", null_ok = TRUE, positive = FALSE)
  if (is.factor(thinnings)) thinnings <- as.character(thinnings)
  if (!is.character(thinnings))
    stop("thinnings: ", class(thinnings)[1], " is not text; accepted: strings such as \"20:tph=800:p=20\" or ",
         "\"30:ba=25:p=20\"", call. = FALSE)
  r <- .yield_table(model, site, height, height_age, shift,
                    check_number(start_age, "start_age"), check_number(trees, "trees"), check_number(ba, "ba"),
                    check_number(end_age, "end_age"), check_number(interval, "interval"), merch_limit,
                    thinnings, check_number(max_sdi, "max_sdi"), rs$text, rs$source,
                    if (is.null(regime_name)) "" else regime_name)
  df <- as.data.frame(r$columns, stringsAsFactors = FALSE)
  if (!is.null(regime)) {
    attr(df, "regime") <- jsonlite::fromJSON(r$regime, simplifyVector = FALSE)
    attr(df, "summary") <- r$summary
  }
  attr(df, "model") <- model
  attr(df, "site") <- r$site
  attr(df, "merch_limit") <- merch_limit
  attr(df, "thinnings") <- thinnings
  if (!is.null(r$stop)) {
    attr(df, "stop_reason") <- r$stop$text
    attr(df, "stop_age") <- r$stop$age
  }
  class(df) <- c("sylvo_yield_table", "data.frame")
  df
}

print.sylvo_yield_table <- function(x, ...) {
  # A subset of a table keeps the class but not the attributes.
  if (!is.null(attr(x, "model"))) cat(sprintf("Yield table, %s (version %s), site index %s m\n", .model_name(attr(x, "model")),
              formatC(.engine_info()$versions[[attr(x, "model")]], format = "f", digits = 1), format(attr(x, "site"), digits = 4)))
  print(as.data.frame(unclass(x)[names(x)], stringsAsFactors = FALSE), ...)
  if (!is.null(attr(x, "stop_reason"))) cat(attr(x, "stop_reason"), "\n", sep = "")
  invisible(x)
}

# The inventory columns the engine reads, in the order .project and .tables
# take them.
inventory_columns <- c("model", "age_yr", "trees_per_ha", "ba_m2_per_ha", "site_m", "height_m", "height_age_yr",
                       "shift_yr", "end_age_yr", "interval_yr", "merch_limit_cm", "thinnings", "regime")
project_only <- c("end_age_yr", "interval_yr", "merch_limit_cm", "thinnings", "regime")

# The engine's columns of DF (NULL where absent, text columns as character)
# and their positions; the carried columns; checks of the layout.
inventory_layout <- function(df, tables, out_keys) {
  if (!is.data.frame(df)) stop("df: ", class(df)[1], " is not a data frame", call. = FALSE)
  used <- if (tables) inventory_columns else setdiff(inventory_columns, project_only)
  have <- names(df)
  dup <- unique(have[duplicated(have) & have %in% c("id", inventory_columns)])
  if (length(dup)) stop("df: the column ", dup[1], " appears more than once", call. = FALSE)
  for (req in c("age_yr", "trees_per_ha", "ba_m2_per_ha"))
    if (!req %in% have) stop("df: lacks the column ", req, call. = FALSE)
  if (!"site_m" %in% have && !all(c("height_m", "height_age_yr") %in% have))
    stop("df: lacks the column ",
         if ("height_m" %in% have) "height_age_yr (and site_m)"
         else if ("height_age_yr" %in% have) "height_m (and site_m)"
         else "site_m (or height_m and height_age_yr)", call. = FALSE)
  columns <- vector("list", length(inventory_columns))
  position <- integer(length(inventory_columns))
  for (k in seq_along(inventory_columns)) {
    name <- inventory_columns[k]
    if (name %in% used && name %in% have) {
      x <- df[[name]]
      if (is.factor(x) || name %in% c("model", "thinnings", "regime")) {
        if (!(is.character(x) || is.factor(x) || all(is.na(x))))
          stop("df: the column ", name, " is ", class(x)[1], "; accepted: text", call. = FALSE)
        x <- as.character(x)
      }
      columns[[k]] <- x
      position[k] <- match(name, have)
    }
  }
  # The columns of a table's layout are neither read nor carried by a
  # projection, so one data frame serves both.
  carried <- setdiff(have, c("id", inventory_columns))
  clash <- intersect(carried, out_keys)
  if (length(clash))
    stop("df: the column ", clash[1], " would be carried to the output, which has a column of that name; ",
         "accepted: other names for the columns carried to the output", call. = FALSE)
  list(columns = columns, position = position, carried = carried)
}

# id and the carried columns of DF's rows ROWS, then the engine's columns.
bind_output <- function(df, rows, carried, cols) {
  id <- if ("id" %in% names(df)) df[["id"]][rows] else rep("", length(rows))
  start <- c(list(id = id), lapply(df[carried], function(x) x[rows]))
  out <- c(start, cols)
  out <- as.data.frame(out, stringsAsFactors = FALSE, optional = TRUE)
  names(out) <- c("id", carried, names(cols))
  out
}

project_inventory <- function(df, model = NULL, to_age = NULL, years = NULL, merch_limit = NULL, mode = "exact",
                              threads = 0, max_sdi = 1500) {
  model <- if (is.null(model)) "a" else check_model(model)
  mode <- check_mode(mode)
  threads <- check_threads(threads)
  if (is.null(to_age) == is.null(years))
    stop(if (is.null(to_age)) "to_age: missing, and so is years" else "to_age: given with years",
         "; accepted: one of to_age and years", call. = FALSE)
  to_age <- check_number(to_age, "to_age", null_ok = TRUE)
  years <- check_number(years, "years", null_ok = TRUE)
  merch <- !is.null(merch_limit)
  merch_limit <- check_number(merch_limit, "merch_limit", null_ok = TRUE, positive = FALSE)
  keys <- c("start_age_yr", "end_age_yr", "site_m", "height_m", "trees_per_ha", "ba_m2_per_ha", "qmd_cm",
            "volume_m3_per_ha", if (merch) "merch_volume_m3_per_ha", "sdi_per_ha", "status", "note")
  layout <- inventory_layout(df, FALSE, keys)
  r <- .project(layout$columns, layout$position, nrow(df), model, to_age, years, merch_limit,
                check_number(max_sdi, "max_sdi"), mode, threads)
  bind_output(df, seq_len(nrow(df)), layout$carried, r[keys])
}

yield_tables <- function(df, model = NULL, end_age = NULL, interval = 5, merch_limit = NULL, threads = 0,
                         max_sdi = 1500, regimes = NULL) {
  model <- if (is.null(model)) "a" else check_model(model)
  threads <- check_threads(threads)
  end_age <- check_number(end_age, "end_age", null_ok = TRUE)
  interval <- check_number(interval, "interval")
  merch_limit <- check_number(merch_limit, "merch_limit", null_ok = TRUE, positive = FALSE)
  keys <- c(.yield_table_keys(), "status")
  layout <- inventory_layout(df, TRUE, keys)
  if (is.na(end_age) && !"end_age_yr" %in% names(df))
    stop("df: lacks the column end_age_yr, and no end_age is given; accepted: a column end_age_yr, or end_age ",
         "for every stand", call. = FALSE)
  if (is.null(regimes) && "regime" %in% names(df))
    stop("df: has a column regime, but no regimes are given; accepted: regimes (a list or a path) with the ",
         "regimes the column names", call. = FALSE)
  rs <- if (is.null(regimes)) list(text = "", source = "") else regime_source(regimes, "regimes")
  r <- .tables(layout$columns, layout$position, nrow(df), model, end_age, interval, merch_limit,
               check_number(max_sdi, "max_sdi"), threads, rs$text, rs$source)
  bind_output(df, r$stand, layout$carried, c(r$columns, list(status = r$status)))
}

compare_regimes <- function(model, regimes, names = NULL, ...) {
  # One stand's tables under several regimes, as `sylvo compare` gives them:
  # one long data frame with a regime column first, and attr "summary", a
  # data frame with one row per regime.
  if (is.null(names)) {
    rs <- regime_source(regimes, "regimes")
    doc <- tryCatch(jsonlite::fromJSON(rs$text, simplifyVector = FALSE), error = function(e) NULL)
    names <- if (is.list(doc) && is.list(doc$regimes)) vapply(doc$regimes, function(r) as.character(r$name), "")
             else list(NULL)
  }
  frames <- list()
  summary <- list()
  for (name in names) {
    t <- yield_table(model, regime = regimes, regime_name = name, ...)
    label <- attr(t, "regime")$name
    frames[[length(frames) + 1L]] <- cbind(data.frame(regime = label, stringsAsFactors = FALSE),
                                           as.data.frame(unclass(t)[names(t)], stringsAsFactors = FALSE))
    summary[[length(summary) + 1L]] <- as.data.frame(c(list(regime = label), attr(t, "summary")),
                                                     stringsAsFactors = FALSE)
  }
  out <- do.call(rbind, frames)
  attr(out, "summary") <- do.call(rbind, summary)
  out
}

read_inventory <- function(file, ...) {
  # Every field as text, read with the command line's CSV reader: the
  # engine reads the numbers to the nearest double, and a field that is no
  # number is flagged on its row. A record that does not fit the header
  # stops with its line, never padded or shifted.
  if (...length() > 0)
    stop("read_inventory: takes only the file; it reads it as the command line does (for another layout, ",
         "read the file with read.csv and pass the data frame)", call. = FALSE)
  if (inherits(file, "connection")) {
    path <- tempfile(fileext = ".csv")
    on.exit(unlink(path))
    if (!isOpen(file)) {
      open(file, "rb")
      on.exit(close(file), add = TRUE)
    }
    out <- file(path, "wb")
    repeat {
      chunk <- readBin(file, "raw", 1048576)
      if (length(chunk) == 0) break
      writeBin(chunk, out)
    }
    close(out)
  } else if (is.character(file) && length(file) == 1 && !is.na(file)) {
    path <- path.expand(file)
  } else {
    stop("file: is not a path of a file or a connection", call. = FALSE)
  }
  columns <- .read_csv(path)
  rows <- if (length(columns) > 0) length(columns[[1]]) else 0L
  structure(columns, class = "data.frame", row.names = .set_row_names(rows))
}
