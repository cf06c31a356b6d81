\name{sylvo_height}
\alias{sylvo_height}
\alias{sylvo_site}
\alias{sylvo_age}
\title{Dominant height, site index and age from the site curve}
\description{The model's site curve: the dominant height of a site index at
  an age (\code{SylvoHeight}), the site index whose curve passes a height at
  an age (\code{SylvoSite}) and the age at which a site index reaches a
  height (\code{SylvoAge}).}
\usage{
sylvo_height(model, age, site, shift = 0)
sylvo_site(model, height, age, shift = 0)
sylvo_age(model, height, site, shift = 0)
}
\arguments{
  \item{model}{\code{"a"}, \code{"b"} or \code{"c"}.}
  \item{age}{stand age (years).}
  \item{site}{site index (m).}
  \item{height}{dominant height (m).}
  \item{shift}{age shift of the site curve (years): the curve is evaluated
    at \code{age + 1 + shift}.}
}
\details{Arguments recycle as in \code{\link{sylvo_grow}}. The libraries'
  values for no answer are kept as they are: \code{sylvo_height} gives 0 for
  a site index outside 1e-06 to 80.5 m (or not a number) and for an age
  below \code{-1 - shift}; \code{sylvo_site} gives 0 where no site index
  reaches the height; \code{sylvo_age} gives -999 where no age can be given.
  One difference from the libraries: Models A and B keep no site index of
  1.3 m or less, and their libraries then compute with the site index of an
  earlier call; the engine gives \code{NaN} there.}
\value{A numeric vector: heights (m), site indices (m) or ages (years).}
\examples{
sylvo_height("a", age = c(10, 20, 40), site = 24)
s <- sylvo_site("c", height = 16, age = 30)
s
sylvo_height("c", 30, s)
sylvo_age("b", height = c(10, 20, 200), site = 24)
}
