# Means and sample standard deviations per clone and per treatment of the
# huasahuasi trial (450 plants), in base R, for tst_trial_summary. Run it as
#   Rscript tests/core/data/summary_huasahuasi.R
# It reads the two layouts of the trial beside it and writes
# summary_huasahuasi.csv there.
script <- sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE))
data_dir <- dirname(script)
out_file <- file.path(data_dir, "summary_huasahuasi.csv")

period <- 52 # the batch's default period

measures <- function(days, levels) {
  n <- length(days)
  audpc <- sum((levels[-1] + levels[-n]) / 2 * diff(days))
  span <- days[n] - days[1]
  c(audpc = audpc,
    yield_losses = audpc / period,
    relative_audpc = audpc / (100 * span),
    audps = audpc + (levels[1] + levels[n]) / 2 * span / (n - 1))
}

long <- read.csv(file.path(data_dir, "huasahuasi-long.csv"), stringsAsFactors = FALSE)
long$day <- as.numeric(as.Date(long$date))
long <- long[order(long$plot, long$day), ]
plots <- unique(long[, c("plot", "trt", "clon")])
per_plot <- t(sapply(plots$plot, function(p) {
  rows <- long[long$plot == p, ]
  measures(rows$day, rows$level)
}))

# The wide layout holds the same trial: the same measures for every plant.
wide <- read.csv(file.path(data_dir, "huasahuasi-wide.csv"), stringsAsFactors = FALSE,
                 check.names = FALSE)
date_columns <- grep("^[0-9]{4}-", names(wide))
wide_days <- as.numeric(as.Date(names(wide)[date_columns]))
wide_per_plot <- t(apply(as.matrix(wide[, date_columns]), 1,
                         function(levels) measures(wide_days, levels)))
rownames(wide_per_plot) <- wide$plot
stopifnot(identical(unname(wide_per_plot[plots$plot, ]), unname(per_plot)))

# A plot whose level falls is refused, as the batch does: counted, not averaged.
refused <- sapply(plots$plot, function(p) any(diff(long$level[long$plot == p]) < 0))

summarise <- function(by) {
  groups <- unique(plots[[by]])
  rows <- lapply(groups, function(g) {
    chosen <- per_plot[plots[[by]] == g & !refused, , drop = FALSE]
    stats <- unlist(lapply(colnames(chosen), function(m) {
      setNames(c(mean(chosen[, m]), sd(chosen[, m])), paste0(m, c("_mean", "_sd")))
    }))
    data.frame(by = by, group = g, plots = sum(plots[[by]] == g),
               refused = sum(plots[[by]] == g & refused), t(stats))
  })
  do.call(rbind, rows)
}
result <- rbind(summarise("clon"), summarise("trt"))
numeric_columns <- sapply(result, is.double)
result[numeric_columns] <- lapply(result[numeric_columns], sprintf, fmt = "%.17g")
write.csv(result, out_file, row.names = FALSE, quote = FALSE)
