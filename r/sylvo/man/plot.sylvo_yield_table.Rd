\name{plot.sylvo_yield_table}
\alias{plot.sylvo_yield_table}
\title{Draw a yield table}
\description{Draws a yield table as a forester reads one, with base
  graphics; the same picture as the Python package's. Upper panel, over
  age: total and merchantable volume (m3/ha, left axis), dominant height
  (m) and basal area (m2/ha) on a right axis, and trees per hectare on a
  second right axis. Each thinning shows as the drop between its two rows,
  with the removed volume as a bar at its age, a dash-dotted line through
  both panels and the removals (trees, basal area, volume) written beside
  it. Lower panel: the mean annual increment (MAI) at each row and the
  periodic annual increment (PAI) at the middle of each period (m3/ha/yr),
  with the culmination of MAI marked (or the highest MAI, where it still
  rises at the last row). The reason of an early stop is written under the
  picture.}
\usage{\method{plot}{sylvo_yield_table}(x, main = NULL, ...)}
\arguments{
  \item{x}{a yield table from \code{\link{yield_table}}, or one stand's rows
    of \code{\link{yield_tables}} given the class \code{sylvo_yield_table}.}
  \item{main}{title; by default the model, its version, the site index and
    the merchantable limit.}
  \item{...}{further graphical parameters for the upper panel's \code{plot}.}
}
\value{\code{x}, invisibly.}
\examples{
t <- yield_table("b", site = 24, start_age = 10, trees = 1800, ba = 6,
                 end_age = 70, merch_limit = 12,
                 thinnings = c("20:tph=800:p=20", "35:ba=22:p=20"))
plot(t)
}
