\name{compare_regimes}
\alias{compare_regimes}
\title{One stand under several regimes}
\description{The tables of one stand under several management regimes of a
  regime file, as \code{sylvo compare} gives them.}
\usage{
compare_regimes(model, regimes, names = NULL, ...)
}
\arguments{
  \item{model}{\code{"a"}, \code{"b"} or \code{"c"}.}
  \item{regimes}{a list in the form of a regime file or its path.}
  \item{names}{the regimes to run (default: every regime of the file).}
  \item{...}{the stand, as the arguments of \code{\link{yield_table}}.}
}
\value{One long data frame with a \code{regime} column first and the
  columns of \code{\link{yield_table}}; its attribute \code{summary} is a
  data frame with one row per regime: \code{end_age_yr},
  \code{production_m3_per_ha}, \code{removed_volume_m3_per_ha},
  \code{max_mai_m3_per_ha_yr}, \code{max_mai_age_yr},
  \code{standing_volume_m3_per_ha} and \code{harvested}.}
\examples{
regimes <- list(regimes = list(
  list(name = "fixed", events = list(
    list(action = "thin", at = 20, target = list(trees_per_ha = 800), p = 20))),
  list(name = "by SDI", events = list(
    list(action = "thin", when = list(sdi_per_ha_over = 700), target = list(sdi_per_ha = 450), p = 20),
    list(action = "harvest", when = list(mai_culminates = TRUE))))))
x <- compare_regimes("b", regimes, site = 24, start_age = 10, trees = 1800, ba = 6,
                     end_age = 60, merch_limit = 12)
attr(x, "summary")
}
