\name{sylvo_grow}
\alias{sylvo_grow}
\title{Project stands between two ages}
\description{Projects trees per hectare and basal area of each stand from
  age \code{t1} to age \code{t2} with the model's stand equations (the
  library's \code{SylvoGrow}).}
\usage{sylvo_grow(model, t1, t2, trees, ba, mode = "exact", threads = 0)}
\arguments{
  \item{model}{\code{"a"}, \code{"b"} or \code{"c"}.}
  \item{t1, t2}{ages (years) from and to which each stand is projected
    (\code{t2 < t1} projects backwards).}
  \item{trees}{trees per hectare at \code{t1}.}
  \item{ba}{basal area (m2/ha) at \code{t1}.}
  \item{mode}{\code{"exact"}: the bits of the model's library for every
    stand; \code{"fast"}: SIMD projection within a relative 1e-10 of exact
    mode for every finite result.}
  \item{threads}{number of threads, 0 for every core. Results do not depend
    on it.}
}
\details{The numeric arguments recycle to the longest length by R's rules;
  a length that does not divide the longest is an error naming the
  argument. \code{NA} and \code{NaN} pass to the engine as they are; where
  the projection is undefined (trees not above 0 or not a number, an age 0
  or not finite) both results are \code{NaN}.}
\value{A data frame with one row per stand and columns
  \code{trees_per_ha} (trees per hectare at \code{t2}) and
  \code{ba_m2_per_ha} (basal area, m2/ha, at \code{t2}).}
\seealso{\code{\link{project_inventory}} for whole inventories in data frames.}
\examples{
# Five stands of Model B, all to age 60.
sylvo_grow("b", t1 = c(15, 20, 20, 35, 40), t2 = 60,
           trees = c(2400, 1800, 900, 750, 500), ba = c(9, 14, 11, 28, 30))
# One stand to several ages.
sylvo_grow("a", 10, seq(15, 35, by = 5), 1800, 6)
}
