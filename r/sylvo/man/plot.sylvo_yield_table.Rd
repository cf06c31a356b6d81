\name{plot.sylvo_yield_table}
\alias{plot.sylvo_yield_table}
\alias{plot_yield_table}
\title{Draw yield tables as small multiples}
\description{Draws one or several yield tables with base graphics, the same
  design as the Python package's: one panel per quantity over a shared age
  axis - trees per hectare, basal area (m2/ha), dominant height (m), volumes
  (total and merchantable, m3/ha, with each thinning's removed volume as a
  bar at its age), and the mean annual increment (MAI) at each row with the
  periodic annual increment (PAI) at the middle of each period (m3/ha/yr),
  the culmination of MAI marked (or the highest MAI, where it still rises at
  the last row). Each thinning is a dotted line through every panel. The
  legend and the notes (where MAI culminates, the removals, why a table
  stopped early) fill a sixth panel, so no text lies over a line or over
  other text. Several tables are overlaid, one colour each, to compare
  regimes.}
\usage{
\method{plot}{sylvo_yield_table}(x, main = NULL, ...)
plot_yield_table(x, main = NULL, ...)
}
\arguments{
  \item{x}{a yield table from \code{\link{yield_table}}; or several: a named
    list of tables, or one long table with a \code{regime} or
    \code{scenario} column (as \code{\link{compare_regimes}} gives).}
  \item{main}{title; by default the model, its version, the site index and
    the merchantable limit.}
  \item{...}{further graphical parameters for the first panel's \code{plot}.}
}
\value{\code{x}, invisibly.}
\examples{
t <- yield_table("b", site = 24, start_age = 10, trees = 1800, ba = 6,
                 end_age = 70, merch_limit = 12,
                 thinnings = c("20:tph=800:p=20", "35:ba=22:p=20"))
plot(t)
light <- yield_table("b", site = 24, start_age = 10, trees = 1800, ba = 6,
                     end_age = 70, merch_limit = 12, thinnings = "20:tph=1200:p=20")
plot_yield_table(list(heavy = t, light = light))
}
