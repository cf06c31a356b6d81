\name{sylvo_ba_after}
\alias{sylvo_ba_after}
\alias{sylvo_tph_after}
\title{What a thinning leaves}
\description{The basal area left by a thinning to a number of trees
  (\code{SylvoBaAfter}) and the trees left by a thinning to a basal area
  (\code{SylvoTphAfter}).}
\usage{
sylvo_ba_after(model, p, trees, ba, trees_after)
sylvo_tph_after(model, p, trees, ba, ba_after)
}
\arguments{
  \item{model}{\code{"a"}, \code{"b"} or \code{"c"}.}
  \item{p}{the thinning response's stand value, a positive number without
    unit.}
  \item{trees}{trees per hectare before the thinning.}
  \item{ba}{basal area (m2/ha) before the thinning.}
  \item{trees_after}{trees per hectare left.}
  \item{ba_after}{basal area (m2/ha) left.}
}
\details{Arguments recycle as in \code{\link{sylvo_grow}}. Any argument
  not above 0 gives 0. A value left above the value before is not refused:
  the result then exceeds the value before.}
\value{A numeric vector: basal area (m2/ha) or trees per hectare left.}
\examples{
sylvo_ba_after("a", p = 20, trees = 1623, ba = 33.8, trees_after = c(1200, 800))
sylvo_tph_after("c", p = 25, trees = 690, ba = 40, ba_after = 35)
}
