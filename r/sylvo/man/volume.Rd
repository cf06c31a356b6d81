\name{sylvo_volume}
\alias{sylvo_volume}
\alias{sylvo_merch_volume}
\title{Total and merchantable stand volume}
\description{Total stand volume (\code{SylvoVolume}) and merchantable volume
  to a diameter limit (\code{SylvoMerchVol}) from dominant height, trees
  and basal area.}
\usage{
sylvo_volume(model, height, trees, ba)
sylvo_merch_volume(model, height, trees, ba, limit)
}
\arguments{
  \item{model}{\code{"a"}, \code{"b"} or \code{"c"}.}
  \item{height}{dominant height (m).}
  \item{trees}{trees per hectare.}
  \item{ba}{basal area (m2/ha).}
  \item{limit}{merchantable diameter limit (cm).}
}
\details{Arguments recycle as in \code{\link{sylvo_grow}}. The total volume
  is never negative (0 where the equation gives zero or less). The
  merchantable volume is the library's: in Models A and B it is negative
  where the total volume is below 0.4 m3 per m2 of basal area; a negative
  limit gives \code{NaN}.}
\value{A numeric vector of volumes (m3/ha).}
\examples{
sylvo_volume("a", height = 18, trees = c(500, 800), ba = c(30, 40))
sylvo_merch_volume("b", height = 22, trees = 700, ba = 35, limit = c(7, 12, 20))
}
