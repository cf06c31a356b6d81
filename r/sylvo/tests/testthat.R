library(testthat)
library(sylvo)

test_check("sylvo")
