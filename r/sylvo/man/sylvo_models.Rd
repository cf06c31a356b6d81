\name{sylvo_models}
\alias{sylvo_models}
\title{The models of the engine}
\description{The three models the engine holds, their names and the version
  of each model's library.}
\usage{sylvo_models()}
\value{A data frame with columns \code{model} (\code{"a"}, \code{"b"},
  \code{"c"}, the value the other functions take as \code{model}),
  \code{name} and \code{version}.}
\examples{sylvo_models()}
