\name{read_inventory}
\alias{read_inventory}
\title{Read an inventory from a CSV file}
\description{Reads a CSV file with a header into a data frame of text
  columns, for \code{\link{project_inventory}} and \code{\link{yield_tables}}.}
\usage{read_inventory(file, ...)}
\arguments{
  \item{file}{a CSV file (or connection), as for \code{\link[utils]{read.csv}}.}
  \item{...}{further arguments to \code{read.csv}.}
}
\details{Every field is kept as text, so that the package reads the
  numbers: each to the nearest double, as the command line reads them (R's
  own reader, used by \code{read.csv} for numeric columns, is not correctly
  rounded for every number of many digits), and a field that is not a
  number is flagged on its row rather than turning the whole column into
  text or \code{NA}. Empty fields stay \code{""}.}
\value{A data frame of character columns, one row per line of data.}
\examples{
f <- system.file("extdata", "inventory.csv", package = "sylvo")
inv <- read_inventory(f)
str(inv)
}
