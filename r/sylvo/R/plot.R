# The forester's picture of a yield table, with base graphics: the stand
# over age on three panels (dominant height; trees and basal area; total and
# merchantable volume with what each thinning removed), and the increments
# MAI and PAI on a fourth, with the culmination of MAI marked.

plot.sylvo_yield_table <- function(x, main = NULL, ...) {
  if (nrow(x) == 0L) stop("the yield table has no rows to plot", call. = FALSE)
  need <- c("age_yr", "height_m", "trees_per_ha", "ba_m2_per_ha", "volume_m3_per_ha", "merch_volume_m3_per_ha",
            "removed_volume_m3_per_ha", "mai_m3_per_ha_yr", "pai_m3_per_ha_yr")
  if (!all(need %in% names(x)))
    stop("the yield table lacks the columns ", paste(setdiff(need, names(x)), collapse = ", "), call. = FALSE)
  age <- x$age_yr
  thin <- which(c(FALSE, diff(age) == 0))  # the row after each thinning
  model <- attr(x, "model")
  if (is.null(main))
    main <- if (is.null(model)) "Yield table" else sprintf("%s, site index %s m", .model_name(model), format(attr(x, "site"), digits = 4))
  cols <- c(height = "#1b7837", trees = "#2166ac", ba = "#b2182b", volume = "#542788", merch = "#8073ac",
            mai = "#d6604d", pai = "#4393c3", thin = "#7f7f7f")
  old <- par(mfrow = c(2, 2), mar = c(4, 4.2, 2, 4.2), oma = c(0, 0, 2, 0))
  on.exit(par(old))
  mark_thinnings <- function() if (length(thin)) abline(v = age[thin], col = cols["thin"], lty = 3)

  plot(age, x$height_m, type = "l", lwd = 2, col = cols["height"], xlab = "age (yr)",
       ylab = "dominant height (m)", main = "Dominant height", ...)
  mark_thinnings()

  plot(age, x$trees_per_ha, type = "l", lwd = 2, col = cols["trees"], xlab = "age (yr)", ylab = "trees per ha",
       main = "Trees and basal area", ylim = c(0, max(x$trees_per_ha, na.rm = TRUE)), ...)
  mark_thinnings()
  par(new = TRUE)
  plot(age, x$ba_m2_per_ha, type = "l", lwd = 2, lty = 2, col = cols["ba"], axes = FALSE, xlab = "", ylab = "",
       ylim = c(0, max(x$ba_m2_per_ha, na.rm = TRUE)))
  axis(4)
  mtext("basal area (m2/ha)", side = 4, line = 2.5, cex = par("cex"))
  legend("topright", c("trees", "basal area"), col = cols[c("trees", "ba")], lty = c(1, 2), lwd = 2, bty = "n")

  vmax <- max(c(x$volume_m3_per_ha, x$merch_volume_m3_per_ha), na.rm = TRUE)
  plot(age, x$volume_m3_per_ha, type = "l", lwd = 2, col = cols["volume"], xlab = "age (yr)",
       ylab = "volume (m3/ha)", main = "Standing volume and removals", ylim = c(0, vmax), ...)
  if (any(!is.na(x$merch_volume_m3_per_ha)))
    lines(age, x$merch_volume_m3_per_ha, lwd = 2, lty = 2, col = cols["merch"])
  if (length(thin)) {
    # A thinning drops the standing volume from the row before it to the
    # row after; the drop is what it removed.
    segments(age[thin], x$volume_m3_per_ha[thin - 1L], age[thin], x$volume_m3_per_ha[thin], col = cols["thin"],
             lwd = 6)
    points(age[thin], x$volume_m3_per_ha[thin], pch = 25, bg = cols["thin"], col = cols["thin"])
    text(age[thin], x$volume_m3_per_ha[thin - 1L], sprintf("-%.0f", x$removed_volume_m3_per_ha[thin]),
         pos = 3, cex = 0.8)
  }
  legend("topleft", c("total", "merchantable", "removed"), col = cols[c("volume", "merch", "thin")],
         lty = c(1, 2, 1), lwd = c(2, 2, 6), bty = "n")

  rng <- range(c(0, x$mai_m3_per_ha_yr, x$pai_m3_per_ha_yr), na.rm = TRUE, finite = TRUE)
  plot(age, x$mai_m3_per_ha_yr, type = "l", lwd = 2, col = cols["mai"], xlab = "age (yr)",
       ylab = "increment (m3/ha/yr)", main = "Increments", ylim = rng, ...)
  pai <- !is.na(x$pai_m3_per_ha_yr)
  if (any(pai)) lines(age[pai], x$pai_m3_per_ha_yr[pai], type = "o", pch = 20, lwd = 2, lty = 2, col = cols["pai"])
  mark_thinnings()
  top <- which.max(x$mai_m3_per_ha_yr)
  if (length(top)) {
    abline(v = age[top], lty = 2, col = cols["mai"])
    points(age[top], x$mai_m3_per_ha_yr[top], pch = 19, cex = 1.4, col = cols["mai"])
    text(age[top], x$mai_m3_per_ha_yr[top], sprintf("MAI culminates at %s yr", format(age[top])), pos = 1,
         cex = 0.8)
  }
  legend("topright", c("MAI", "PAI"), col = cols[c("mai", "pai")], lty = c(1, 2), lwd = 2, bty = "n")
  mtext(main, outer = TRUE, cex = 1.1, font = 2)
  invisible(x)
}
