\name{yield_table}
\alias{yield_table}
\alias{print.sylvo_yield_table}
\title{The yield table of one stand}
\description{Projects one stand row by row under a thinning regime: height,
  trees, basal area, diameter, volumes, removals, increments and stand
  density, as \code{sylvo table --format csv} gives them.}
\usage{
yield_table(model, site = NULL, height = NULL, height_age = NULL, shift = 0,
            start_age, trees, ba, end_age, interval = 5, merch_limit,
            thinnings = character(), max_sdi = 1500, regime = NULL,
            regime_name = NULL)
\method{print}{sylvo_yield_table}(x, ...)
}
\arguments{
  \item{model}{\code{"a"}, \code{"b"} or \code{"c"}.}
  \item{site}{site index (m); or give \code{height} and \code{height_age}.}
  \item{height, height_age}{a dominant height (m) measured at an age
    (years), turned into a site index with \code{SylvoSite}.}
  \item{shift}{age shift of the site curve (years).}
  \item{start_age}{age (years) of the first row.}
  \item{trees, ba}{trees per hectare and basal area (m2/ha) at \code{start_age}.}
  \item{end_age}{age (years) of the last row.}
  \item{interval}{years between rows.}
  \item{merch_limit}{merchantable diameter limit (cm), 0 or more; \code{NA} for none
    (the merchantable volume is then \code{NA}).}
  \item{thinnings}{thinnings in increasing order of age, each
    \code{"AGE:tph=N:p=P"} (leave N trees per hectare) or
    \code{"AGE:ba=B:p=P"} (leave B m2/ha); one string may hold several
    separated by \code{;}.}
  \item{max_sdi}{Reineke's stand density index (per hectare) above which
    the stand is no longer a stand and the table stops.}
  \item{regime}{a management regime instead of \code{thinnings}: a list
    in the form of a regime file (\code{list(name = "r", events = list(...))},
    or \code{list(regimes = list(...))}) or the path of a regime file (JSON).
    The events say what each did (column \code{event}) or why it was
    skipped (column \code{note}); attributes \code{regime} (as read) and
    \code{summary} (production, removals, highest MAI and its age,
    standing volume at the end).}
  \item{regime_name}{the regime to run of a file of several.}
  \item{x}{a yield table.}
  \item{...}{passed to \code{print.data.frame}.}
}
\details{Rows: the start age, every \code{interval}, the end age, and each
  thinning age twice (before and after the thinning). The table is the
  engine's, the same as the command line's and every other front's.

  A table stops early where the stand is no longer a stand (trees below 1
  per hectare or not finite, basal area or height not positive and finite,
  stand density above \code{max_sdi}); it then has the rows before that
  age, and the attributes \code{stop_reason} (the reason in words) and
  \code{stop_age}.

  Rows whose volumes leave the volume equations' range are kept, with a
  note in words in the \code{note} column (\code{""} for none).

  Bad arguments (a number not above 0, an end age not after the start, a
  thinning out of order or to as many trees as stand) are an error naming
  the argument.}
\value{A data frame of class \code{sylvo_yield_table}, one row per table
  row, with columns \code{age_yr}, \code{height_m}, \code{trees_per_ha},
  \code{ba_m2_per_ha}, \code{qmd_cm}, \code{volume_m3_per_ha},
  \code{merch_volume_m3_per_ha} (0 where the library's value is below 0),
  \code{removed_trees_per_ha}, \code{removed_ba_m2_per_ha},
  \code{removed_volume_m3_per_ha} (on the row after a thinning, else
  \code{NA}), \code{mai_m3_per_ha_yr} (standing plus all removed volume,
  over age), \code{pai_m3_per_ha_yr} (change of that total since the row
  before, over the years between; \code{NA} on the first row and after a
  thinning), \code{sdi_per_ha} and \code{note}; attributes \code{model},
  \code{site} (the site index used, m), \code{merch_limit},
  \code{thinnings}, and \code{stop_reason}, \code{stop_age} when it
  stopped early.}
\seealso{\code{\link{plot.sylvo_yield_table}}, \code{\link{yield_tables}}.}
\examples{
t <- yield_table("a", site = 24, start_age = 10, trees = 1800, ba = 6,
                 end_age = 35, merch_limit = 12, thinnings = "20:tph=800:p=20")
t[, c("age_yr", "height_m", "trees_per_ha", "ba_m2_per_ha", "volume_m3_per_ha")]

# Model A's basal area runs away after age 35: the table stops.
long <- yield_table("a", site = 24, start_age = 10, trees = 1800, ba = 6,
                    end_age = 60, merch_limit = 12, thinnings = "20:tph=800:p=20")
attr(long, "stop_reason")
}
