# Exports the public tables of the table benchmark from Debian's r-cran-mlbench and r-cran-mass:
# each as train.csv and test.csv (a fixed 70/30 split drawn with set.seed(32)), a header line,
# comma-separated, a missing cell written empty, factors as their level texts.
# Rscript export.R OUTPUT-FOLDER
library(mlbench)
library(MASS)
args <- commandArgs(trailingOnly = TRUE)
out <- args[1]

clean <- function(frame) {
  # Texts that hold the delimiter or blanks at their ends would not survive the plain CSV.
  for (name in names(frame)) {
    if (is.factor(frame[[name]]) || is.character(frame[[name]])) {
      frame[[name]] <- gsub("[, ]+", "_", trimws(as.character(frame[[name]])))
    }
  }
  frame
}

export <- function(name, frame, target) {
  frame <- clean(frame)
  frame <- frame[, c(setdiff(names(frame), target), target)]
  set.seed(32)
  test <- sample(nrow(frame), round(0.3 * nrow(frame)))
  dir.create(file.path(out, name), recursive = TRUE, showWarnings = FALSE)
  write.csv(frame[-test, ], file.path(out, name, "train.csv"), row.names = FALSE, quote = FALSE,
            na = "")
  write.csv(frame[test, ], file.path(out, name, "test.csv"), row.names = FALSE, quote = FALSE,
            na = "")
}

data(HouseVotes84)
export("HouseVotes84", HouseVotes84, "Class")
data(BreastCancer)
export("BreastCancer", BreastCancer[, names(BreastCancer) != "Id"], "Class")
data(Soybean)
export("Soybean", Soybean, "Class")
data(PimaIndiansDiabetes2)
export("PimaIndiansDiabetes2", PimaIndiansDiabetes2, "diabetes")
data(Cars93)
# Make and Model name each car: identifiers, not inputs.
export("Cars93", Cars93[, !(names(Cars93) %in% c("Make", "Model", "Min.Price", "Max.Price"))],
       "Price")
