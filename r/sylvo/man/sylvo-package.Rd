\name{sylvo-package}
\alias{sylvo-package}
\alias{sylvo}
\docType{package}
\title{Stand growth-and-yield Models A, B and C}
\description{
  The Sylvo growth-and-yield models for R. Every value comes from the Sylvo
  batch engine, which holds all three models (\code{"a"}, \code{"b"},
  \code{"c"}) and, in exact mode, gives for every stand the bits the model's
  own library gives for the same arguments.

  Vectorised functions, with R's recycling rules:
  \code{\link{sylvo_grow}} (trees and basal area between ages),
  \code{\link{sylvo_height}}, \code{\link{sylvo_site}}, \code{\link{sylvo_age}}
  (the site curve), \code{\link{sylvo_volume}},
  \code{\link{sylvo_merch_volume}} (volumes), \code{\link{sylvo_ba_after}},
  \code{\link{sylvo_tph_after}} (thinnings).

  Data frames: \code{\link{yield_table}} (one stand under a thinning regime,
  with \code{\link[=plot.sylvo_yield_table]{plot}}), \code{\link{project_inventory}}
  (every stand of an inventory to one age) and \code{\link{yield_tables}}
  (every stand's table), with \code{\link{read_inventory}} to read an
  inventory from a CSV file.

  Units throughout: ages in years, heights and site index in m, trees per
  hectare, basal area in m2/ha, diameters in cm, volumes in m3/ha.
}
\seealso{\code{vignette("inventory", package = "sylvo")}}
\examples{
sylvo_models()
sylvo_height("a", age = c(20, 40, 60), site = 24)
}
\keyword{package}
