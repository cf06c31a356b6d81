\name{read_inventory}
\alias{read_inventory}
\title{Read an inventory from a CSV file}
\description{Reads a CSV file with a header into a data frame of text
  columns, for \code{\link{project_inventory}} and \code{\link{yield_tables}},
  with the command line's CSV reader.}
\usage{read_inventory(file, ...)}
\arguments{
  \item{file}{the path of a CSV file, or a connection to read one from.}
  \item{...}{nothing: the file is read as the command line reads it (for
    another layout, read it with \code{\link[utils]{read.csv}} and pass the
    data frame).}
}
\details{Every field is kept as text, so that the package reads the
  numbers: each to the nearest double, as the command line reads them (R's
  own reader, used by \code{read.csv} for numeric columns, is not correctly
  rounded for every number of many digits), and a field that is not a
  number is flagged on its row rather than turning the whole column into
  text or \code{NA}. Empty fields stay \code{""}; empty lines are passed
  over.

  A data frame has no place for a row that is not one: a record with more
  or fewer fields than the header, a field that breaks the CSV format
  (a quote inside an unquoted field, text after a closing quote, a quote
  left open), a column named twice, text that is not UTF-8 or a NUL byte
  stop with an error naming the line and column. Nothing is padded or
  shifted. (\code{sylvo project} on the command line flags such rows and
  goes on.)}
\value{A data frame of character columns, one row per record of the file.}
\examples{
f <- system.file("extdata", "inventory.csv", package = "sylvo")
inv <- read_inventory(f)
str(inv)
# A record with a field too many is refused, with its line:
bad <- tempfile(fileext = ".csv")
writeLines(c("id,age_yr", "a,20", "b,20,5"), bad)
try(read_inventory(bad))
}
