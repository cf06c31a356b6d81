\name{plot.sylvo_yield_table}
\alias{plot.sylvo_yield_table}
\title{Draw a yield table}
\description{Draws a yield table as a forester reads one, with base
  graphics on four panels: dominant height (m); trees per hectare with
  basal area (m2/ha) on a second axis; total and merchantable volume
  (m3/ha), each thinning's removal drawn as the drop it makes and labelled
  with the volume removed; and the mean and periodic annual increments
  (m3/ha/yr) with the culmination of MAI marked. Thinning ages are dotted.}
\usage{\method{plot}{sylvo_yield_table}(x, main = NULL, ...)}
\arguments{
  \item{x}{a yield table from \code{\link{yield_table}}, or one stand's rows
    of \code{\link{yield_tables}} given the class \code{sylvo_yield_table}.}
  \item{main}{overall title; by default the model and site index.}
  \item{...}{further graphical parameters for each panel's \code{plot}.}
}
\value{\code{x}, invisibly.}
\examples{
t <- yield_table("b", site = 24, start_age = 10, trees = 1800, ba = 6,
                 end_age = 70, merch_limit = 12,
                 thinnings = c("20:tph=800:p=20", "35:ba=22:p=20"))
plot(t)
}
