\name{project_inventory}
\alias{project_inventory}
\title{Project every stand of an inventory}
\description{Brings every stand of an inventory data frame to one age, or
  forward by a number of years, with the engine's batch functions, as
  \code{sylvo project} does with a CSV file.}
\usage{
project_inventory(df, model = NULL, to_age = NULL, years = NULL,
                  merch_limit = NULL, mode = "exact", threads = 0,
                  max_sdi = 1500)
}
\arguments{
  \item{df}{a data frame with columns \code{age_yr}, \code{trees_per_ha},
    \code{ba_m2_per_ha} and \code{site_m} or both \code{height_m} and
    \code{height_age_yr}; optional \code{id}, \code{shift_yr} (empty: 0)
    and \code{model} (empty: the argument \code{model}). Number columns may
    be numeric or text (text is read to the nearest double, as the command
    line reads a CSV field); \code{NA} or \code{""} is an empty field.
    \code{end_age_yr}, \code{interval_yr}, \code{merch_limit_cm} and
    \code{thinnings} are neither read nor carried. Every other column is
    carried to the output unchanged, after \code{id}.}
  \item{model}{the model of rows without one: \code{"a"} (the default),
    \code{"b"} or \code{"c"}.}
  \item{to_age}{the age (years) to bring every stand to; or}
  \item{years}{years to bring every stand forward.}
  \item{merch_limit}{merchantable diameter limit (cm); without it there is
    no merchantable volume column.}
  \item{mode, threads}{as in \code{\link{sylvo_grow}}.}
  \item{max_sdi}{Reineke's stand density index above which a stand is no
    longer a stand.}
}
\details{No row is dropped or repaired: every row of \code{df} gives one
  row, in order, with \code{status} \code{"ok"} or the reason it has no
  numbers, naming the row and column at fault for bad values (\code{"row
  17, column 5 (trees_per_ha): '1.2k' is not a number"}), or the age and
  reason where the stand is no longer a stand. Volume anomalies do not flag
  a row; they are in \code{note}. In exact mode every number equals what
  the exports give (\code{SylvoGrow}, \code{SylvoSite} for a stand given
  by height, \code{SylvoHeight} at the end age, \code{SylvoVolume},
  \code{SylvoMerchVol} as the library gives it, negative included).}
\value{A data frame: \code{id}, the carried columns, \code{start_age_yr},
  \code{end_age_yr}, \code{site_m}, \code{height_m}, \code{trees_per_ha},
  \code{ba_m2_per_ha}, \code{qmd_cm}, \code{volume_m3_per_ha},
  \code{merch_volume_m3_per_ha} (with \code{merch_limit}), \code{sdi_per_ha},
  \code{status}, \code{note}.}
\seealso{\code{\link{read_inventory}}, \code{\link{yield_tables}}.}
\examples{
inv <- read_inventory(system.file("extdata", "inventory.csv", package = "sylvo"))
p <- project_inventory(inv, to_age = 40, merch_limit = 12)
head(p[, c("id", "site_m", "trees_per_ha", "volume_m3_per_ha", "status")])
p[p$status != "ok", c("id", "status")]
}
