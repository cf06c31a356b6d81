# A yield table drawn as a forester reads one, with base graphics; the same
# picture as the Python package's.
#
# Upper panel, over age: total and merchantable volume (m3/ha, left axis),
# dominant height (m) and basal area (m2/ha) on a right axis, and trees per
# hectare on a second right axis. Each thinning shows as the drop between
# its two rows, with the removed volume as a bar at its age and the
# removals written beside it. Lower panel: mean annual increment (MAI) at
# each row and periodic annual increment (PAI) at the middle of each
# period, in m3/ha/yr, with the culmination of MAI marked.

plot_colours <- c(volume = "#1b5e20", merch = "#66bb6a", height = "#0d47a1", ba = "#e65100", trees = "#6a1b9a",
                  removed = "#8d6e63", mai = "#1b5e20", pai = "#c62828")

plot_title <- function(x) {
  model <- attr(x, "model")
  if (is.null(model)) return("Yield table")
  t <- sprintf("Yield table, %s (version %s), site index %.2f m", .model_name(model),
               formatC(.engine_info()$versions[[model]], format = "f", digits = 1), attr(x, "site"))
  limit <- attr(x, "merch_limit")
  if (!is.null(limit) && !is.na(limit)) t <- paste0(t, sprintf(", merchantable limit %s cm", format(limit)))
  t
}

plot.sylvo_yield_table <- function(x, main = NULL, ...) {
  need <- c("age_yr", "height_m", "trees_per_ha", "ba_m2_per_ha", "volume_m3_per_ha", "merch_volume_m3_per_ha",
            "removed_trees_per_ha", "removed_ba_m2_per_ha", "removed_volume_m3_per_ha", "mai_m3_per_ha_yr",
            "pai_m3_per_ha_yr")
  if (!all(need %in% names(x)))
    stop("the yield table lacks the columns ", paste(setdiff(need, names(x)), collapse = ", "), call. = FALSE)
  if (nrow(x) == 0L) stop("the yield table has no rows to plot", call. = FALSE)
  if (is.null(main)) main <- plot_title(x)
  col <- plot_colours
  age <- x$age_yr
  thinned <- !is.na(x$removed_trees_per_ha) | !is.na(x$removed_ba_m2_per_ha)
  upper <- function(v) max(c(v, 0), na.rm = TRUE) * 1.08 + 1e-9

  old <- par(no.readonly = TRUE)
  on.exit(par(old))
  layout(matrix(1:2, ncol = 1), heights = c(2.2, 1))

  # Upper panel: volumes on the left axis.
  par(mar = c(0.5, 4.5, 3, 9), mgp = c(2.4, 0.7, 0), cex.axis = 0.8, cex.lab = 0.9)
  merch <- x$merch_volume_m3_per_ha
  plot(age, x$volume_m3_per_ha, type = "l", lwd = 2, col = col["volume"], xlab = "", ylab = "volume (m3/ha)",
       xaxt = "n",
       ylim = c(0, upper(c(x$volume_m3_per_ha, merch, x$removed_volume_m3_per_ha))), main = main, cex.main = 0.95,
       ...)
  grid(col = "grey85")
  if (any(!is.na(merch))) lines(age, merch, lwd = 1.5, lty = 2, col = col["merch"])
  span <- diff(range(age)) + (diff(range(age)) == 0)
  for (i in which(thinned)) {
    if (!is.na(x$removed_volume_m3_per_ha[i]))
      rect(age[i] - span * 0.0075, 0, age[i] + span * 0.0075, x$removed_volume_m3_per_ha[i],
           col = grDevices::adjustcolor(col["removed"], 0.8), border = NA)
    abline(v = age[i], col = col["removed"], lty = 4)
    text(age[i], 0, sprintf("thinning at %s:\n-%s trees/ha\n-%s m2/ha\n-%s m3/ha", format(age[i]),
                            format(round(x$removed_trees_per_ha[i]), big.mark = ","),
                            formatC(x$removed_ba_m2_per_ha[i], format = "f", digits = 1),
                            formatC(x$removed_volume_m3_per_ha[i], format = "f", digits = 1)),
         adj = c(-0.05, -0.1), cex = 0.6, col = col["removed"])
  }
  # Height and basal area on a right axis, trees on a second one.
  par(new = TRUE)
  plot(age, x$height_m, type = "l", lwd = 1.5, col = col["height"], axes = FALSE, xlab = "", ylab = "",
       ylim = c(0, upper(c(x$height_m, x$ba_m2_per_ha))))
  lines(age, x$ba_m2_per_ha, lwd = 1.5, col = col["ba"])
  axis(4)
  mtext("height (m), basal area (m2/ha)", side = 4, line = 2.5, cex = 0.8)
  par(new = TRUE)
  plot(age, x$trees_per_ha, type = "l", lwd = 1.2, lty = 3, col = col["trees"], axes = FALSE, xlab = "", ylab = "",
       ylim = c(0, upper(x$trees_per_ha)))
  axis(4, line = 4.5, col = col["trees"], col.axis = col["trees"])
  mtext("trees (/ha)", side = 4, line = 7, cex = 0.8, col = col["trees"])
  legend("topleft", c("total volume (m3/ha)", "merchantable volume (m3/ha)", "removed volume (m3/ha)",
                      "dominant height (m)", "basal area (m2/ha)", "trees (/ha)"),
         col = col[c("volume", "merch", "removed", "height", "ba", "trees")], lty = c(1, 2, 1, 1, 1, 3),
         lwd = c(2, 1.5, 6, 1.5, 1.5, 1.2), cex = 0.7, bg = grDevices::adjustcolor("white", 0.85))

  # Lower panel: MAI at every row, PAI at the middle of its period.
  par(mar = c(5.5, 4.5, 0.5, 9))
  mai <- x$mai_m3_per_ha_yr
  pai <- x$pai_m3_per_ha_yr
  prev <- c(NA, age[-length(age)])
  has_pai <- !is.na(pai)
  mid <- (prev + age) / 2
  plot(age, mai, type = "o", pch = 19, cex = 0.6, lwd = 2, col = col["mai"], xlab = "age (yr)",
       ylab = "increment (m3/ha/yr)", ylim = range(c(0, mai, pai), na.rm = TRUE, finite = TRUE) * c(1, 1.15))
  grid(col = "grey85")
  abline(h = 0, lwd = 0.6)
  if (any(has_pai)) lines(mid[has_pai], pai[has_pai], type = "o", pch = 15, cex = 0.6, lwd = 1.5, col = col["pai"])
  for (i in which(thinned)) abline(v = age[i], col = col["removed"], lty = 4)
  labels <- c("MAI", "PAI, at mid-period")
  if (any(!is.na(mai))) {
    k <- which.max(mai)
    last <- k == length(mai) || all(age[-seq_len(k)] == age[k])
    points(age[k], mai[k], pch = 8, cex = 2, lwd = 2, col = "#fbc02d")
    text(age[k], mai[k], if (last) sprintf("MAI still rising at %s yr: %.2f", format(age[k]), mai[k])
                         else sprintf("MAI culminates at %s yr: %.2f m3/ha/yr", format(age[k]), mai[k]),
         pos = 4, offset = 1, cex = 0.7)
    labels <- c(labels, if (last) "highest MAI" else "MAI culminates")
  }
  # In the right margin, beside the panel, where it hides no line.
  legend("topleft", labels, inset = c(1.01, 0), xpd = TRUE, bty = "n", col = c(col[c("mai", "pai")], "#fbc02d")[seq_along(labels)],
         pch = c(19, 15, 8)[seq_along(labels)], lty = c(1, 1, NA)[seq_along(labels)], cex = 0.7)
  stop_reason <- attr(x, "stop_reason")
  if (!is.null(stop_reason)) mtext(stop_reason, side = 1, line = 4.2, adj = 0, cex = 0.6, col = "#b71c1c")
  invisible(x)
}
