# Yield tables drawn as small multiples over a shared age axis, with base
# graphics; the same design as the Python package's plot_yield_table.
#
# One panel per quantity, each with its own unit: trees per hectare, basal
# area (m2/ha), dominant height (m), volumes (total and merchantable, m3/ha,
# with each thinning's removed volume as a bar at its age), and MAI at each
# row with PAI at the middle of each period (m3/ha/yr), the culmination of
# MAI marked. Thinnings are a thin vertical line through every panel. The
# legend and the notes (where MAI culminates, the removals, why a table
# stopped) fill a sixth panel of their own, so no text lies over a line or
# over other text. Several tables (a named list, or one long table with a
# regime or scenario column) are overlaid, one colour each.

plot_colours <- c("#1b5e20", "#0d47a1", "#c62828", "#6a1b9a", "#e65100", "#00838f", "#5d4037", "#ad1457")
plot_removed <- "#8d6e63"
plot_needed <- c("age_yr", "height_m", "trees_per_ha", "ba_m2_per_ha", "volume_m3_per_ha", "merch_volume_m3_per_ha",
                 "removed_trees_per_ha", "removed_ba_m2_per_ha", "removed_volume_m3_per_ha", "mai_m3_per_ha_yr",
                 "pai_m3_per_ha_yr")

plot_title <- function(x) {
  model <- attr(x, "model")
  if (is.null(model)) return("Yield table")
  t <- sprintf("Yield table, %s (version %s), site index %.2f m", .model_name(model),
               formatC(.engine_info()$versions[[model]], format = "f", digits = 1), attr(x, "site"))
  limit <- attr(x, "merch_limit")
  if (!is.null(limit) && !is.na(limit)) t <- paste0(t, sprintf(", merchantable limit %s cm", format(limit)))
  t
}

# A list of tables, named where they are several.
plot_tables <- function(x) {
  if (is.data.frame(x)) {
    for (column in c("regime", "scenario")) {
      if (column %in% names(x)) {
        groups <- split(x, factor(x[[column]], levels = unique(x[[column]])))
        return(groups)
      }
    }
    return(list(x))
  }
  if (is.list(x) && length(x) > 0L && all(vapply(x, is.data.frame, TRUE))) {
    if (is.null(names(x)) || any(names(x) == ""))
      stop("x: a list of tables needs a name for each; accepted: list(name = table, ...)", call. = FALSE)
    return(x)
  }
  stop("x: ", class(x)[1], " is not a yield table; accepted: a yield table, a named list of tables, or a long ",
       "table with a regime or scenario column", call. = FALSE)
}

plot_culmination <- function(t) {
  mai <- t$mai_m3_per_ha_yr
  if (all(is.na(mai))) return(NULL)
  k <- which.max(mai)
  age <- t$age_yr
  rising <- k == length(mai) || all(age[-seq_len(k)] == age[k])
  # A table harvested where MAI culminates ends at its culmination.
  if (rising && !is.null(t$event) && startsWith(as.character(t$event[length(mai)]), "harvest: MAI culminates"))
    rising <- FALSE
  list(age = age[k], mai = mai[k], rising = rising)
}

plot_yield_table <- function(x, main = NULL, ...) {
  tables <- plot_tables(x)
  several <- length(tables) > 1L || !is.null(names(tables))
  for (i in seq_along(tables)) {
    t <- tables[[i]]
    where <- if (several) sprintf("x[[\"%s\"]]", names(tables)[i]) else "the yield table"
    if (!all(plot_needed %in% names(t)))
      stop(where, " lacks the columns ", paste(setdiff(plot_needed, names(t)), collapse = ", "), call. = FALSE)
    if (nrow(t) == 0L) stop(where, " has no rows to plot", call. = FALSE)
  }
  if (is.null(main)) main <- plot_title(if (is.data.frame(x)) x else tables[[1]])
  ages <- unlist(lapply(tables, function(t) t$age_yr))
  xlim <- range(ages, na.rm = TRUE)
  span <- diff(xlim) + (diff(xlim) == 0)
  width <- span * 0.012
  top <- function(column) {
    v <- unlist(lapply(tables, function(t) t[[column]]))
    max(c(v, 0), na.rm = TRUE) * 1.05 + 1e-9
  }

  old <- par(no.readonly = TRUE)
  on.exit(par(old))
  par(mfrow = c(3, 2), mar = c(3.2, 4.2, 1, 1), oma = c(0, 0, 2, 0), mgp = c(2.2, 0.6, 0), cex.axis = 0.85,
      cex.lab = 0.95)
  colour <- function(i) plot_colours[(i - 1L) %% length(plot_colours) + 1L]
  thin_ages <- function(t) t$age_yr[!is.na(t$removed_trees_per_ha) | !is.na(t$removed_ba_m2_per_ha)]
  thin_lines <- function() for (i in seq_along(tables))
    abline(v = thin_ages(tables[[i]]), col = if (several) colour(i) else plot_removed, lty = 3, lwd = 0.8)

  panel <- function(column, ylab, ...) {
    plot(NA, xlim = xlim, ylim = c(0, top(column)), xlab = "age (yr)", ylab = ylab, ...)
    grid(col = "grey88")
    thin_lines()
    for (i in seq_along(tables)) lines(tables[[i]]$age_yr, tables[[i]][[column]], col = colour(i), lwd = 2)
  }
  panel("trees_per_ha", "trees (/ha)", ...)
  panel("ba_m2_per_ha", "basal area (m2/ha)")
  panel("height_m", "dominant height (m)")

  # Volumes, with the removed volume as a bar at each thinning.
  plot(NA, xlim = xlim, ylim = c(0, max(top("volume_m3_per_ha"), top("merch_volume_m3_per_ha"))), xlab = "age (yr)",
       ylab = "volume (m3/ha)")
  grid(col = "grey88")
  thin_lines()
  for (i in seq_along(tables)) {
    t <- tables[[i]]
    removed <- !is.na(t$removed_volume_m3_per_ha)
    offset <- (i - (length(tables) + 1) / 2) * width
    for (k in which(removed))
      rect(t$age_yr[k] + offset - width / 2, 0, t$age_yr[k] + offset + width / 2, t$removed_volume_m3_per_ha[k],
           border = NA, col = grDevices::adjustcolor(if (several) colour(i) else plot_removed, 0.75))
    lines(t$age_yr, t$volume_m3_per_ha, col = colour(i), lwd = 2)
    if (any(!is.na(t$merch_volume_m3_per_ha))) lines(t$age_yr, t$merch_volume_m3_per_ha, col = colour(i), lty = 2)
  }

  # Increments: MAI at every row, PAI at the middle of its period.
  inc <- unlist(lapply(tables, function(t) c(t$mai_m3_per_ha_yr, t$pai_m3_per_ha_yr)))
  plot(NA, xlim = xlim, ylim = range(c(0, inc), na.rm = TRUE, finite = TRUE) * 1.05, xlab = "age (yr)",
       ylab = "increment (m3/ha/yr)")
  grid(col = "grey88")
  abline(h = 0, lwd = 0.6)
  thin_lines()
  notes <- character()
  for (i in seq_along(tables)) {
    t <- tables[[i]]
    label <- if (several) names(tables)[i] else NULL
    lines(t$age_yr, t$mai_m3_per_ha_yr, type = "o", pch = 19, cex = 0.5, lwd = 2, col = colour(i))
    prev <- c(NA, t$age_yr[-nrow(t)])
    has_pai <- !is.na(t$pai_m3_per_ha_yr)
    if (any(has_pai))
      lines(((prev + t$age_yr) / 2)[has_pai], t$pai_m3_per_ha_yr[has_pai], type = "o", pch = 15, cex = 0.5, lty = 3,
            col = colour(i))
    peak <- plot_culmination(t)
    if (!is.null(peak)) {
      points(peak$age, peak$mai, pch = 8, cex = 1.8, lwd = 2, col = "#fbc02d")
      notes <- c(notes, paste0(if (several) paste0(label, ": ") else "",
                               sprintf(if (peak$rising) "highest MAI at the last row, %s yr: %.2f m3/ha/yr"
                                       else "MAI culminates at %s yr: %.2f m3/ha/yr", format(peak$age), peak$mai)))
    }
    if (!several) {
      k <- which(!is.na(t$removed_volume_m3_per_ha))
      notes <- c(notes, sprintf("thinning at %s yr: -%s trees/ha, -%s m2/ha, -%s m3/ha", format(t$age_yr[k]),
                                format(round(t$removed_trees_per_ha[k]), big.mark = ","),
                                formatC(t$removed_ba_m2_per_ha[k], format = "f", digits = 1),
                                formatC(t$removed_volume_m3_per_ha[k], format = "f", digits = 1)))
    }
    stop_reason <- attr(t, "stop_reason")
    if (is.null(stop_reason) && "status" %in% names(t)) {
      last <- t$status[nrow(t)]
      if (!is.na(last) && startsWith(last, "stopped early")) stop_reason <- last
    }
    if (!is.null(stop_reason)) notes <- c(notes, paste0(if (several) paste0(label, ": ") else "", stop_reason))
  }

  # The key: the tables by colour, what each line stands for, and the notes.
  par(mar = c(0, 0, 1, 0))
  plot.new()
  styles <- c("total volume", "merchantable volume", "removed volume", "MAI", "PAI, at mid-period",
              "culmination of MAI")
  n_tables <- if (several) length(tables) else 0L
  labels <- c(if (several) names(tables), styles)
  key_col <- c(if (several) vapply(seq_along(tables), colour, ""),
               rep(if (several) "grey25" else colour(1L), 2),
               if (several) "grey25" else plot_removed, rep(if (several) "grey25" else colour(1L), 2), "#fbc02d")
  # Each note's lines as entries of their own: legend() gives every entry one line.
  wrapped <- unlist(lapply(notes, function(n) strwrap(n, 62, exdent = 4)))
  legend("topleft", c(labels, wrapped), col = c(key_col, rep(NA, length(wrapped))),
         lty = c(rep(1, n_tables), 1, 2, 1, 1, 3, NA, rep(NA, length(wrapped))),
         lwd = c(rep(2, n_tables), 2, 1, 8, 2, 1, NA, rep(NA, length(wrapped))),
         pch = c(rep(NA, n_tables), NA, NA, NA, 19, 15, 8, rep(NA, length(wrapped))),
         bty = "n", cex = 0.8, y.intersp = 1.1)
  mtext(main, side = 3, outer = TRUE, line = 0.5, cex = 0.9)
  invisible(x)
}

plot.sylvo_yield_table <- function(x, main = NULL, ...) {
  plot_yield_table(x, main = main, ...)
}
