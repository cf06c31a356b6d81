\name{yield_tables}
\alias{yield_tables}
\title{The yield table of every stand of an inventory}
\description{Makes each stand's yield table, as \code{sylvo tables} does
  with a CSV file, and returns them in one long data frame.}
\usage{
yield_tables(df, model = NULL, end_age = NULL, interval = 5,
             merch_limit = NULL, threads = 0, max_sdi = 1500, regimes = NULL)
}
\arguments{
  \item{df}{an inventory as for \code{\link{project_inventory}}, which may
    also have the columns \code{end_age_yr} (years), \code{interval_yr}
    (years), \code{merch_limit_cm} (cm) and \code{thinnings} (the syntax of
    \code{\link{yield_table}}'s thinnings, several separated by \code{;});
    an empty field takes the argument's value.}
  \item{model}{the model of rows without one (default \code{"a"}).}
  \item{end_age}{end age (years) of stands without one.}
  \item{interval}{years between rows of stands without one.}
  \item{merch_limit}{merchantable diameter limit (cm) of stands without one.}
  \item{threads}{as in \code{\link{sylvo_grow}}.}
  \item{max_sdi}{as in \code{\link{yield_table}}.}
  \item{regimes}{regimes (a list in the form of a regime file, or its
    path): each stand's table runs under the regime its \code{regime}
    column names (with a file of one regime and no such column, every
    stand's).}
}
\details{Each stand gives its table's rows up to its end age or its stop;
  the last row of a table that stopped early says why in \code{status}. A
  row that cannot be tabled gives one row of \code{NA} with the reason, in
  its place.}
\value{A data frame: \code{id}, the carried columns, the columns of
  \code{\link{yield_table}}, and \code{status}.}
\examples{
inv <- read_inventory(system.file("extdata", "inventory.csv", package = "sylvo"))
t <- yield_tables(inv, merch_limit = 12)
t[t$id == "A01", c("age_yr", "trees_per_ha", "volume_m3_per_ha", "removed_volume_m3_per_ha")]
table(t$status == "ok")
}
