# Mean disease progress curves of two clones at each site of the huasahuasi
# trial split by treatment (`trt`), in base R, for tst_group_curves. Every
# seventh assessment row of the file (counted from 1 after the header) has its
# level removed first, as a day the plant was not assessed, so that plants
# lack dates the others have and some start late or stop early. At each date
# on which one of a clone's plants was assessed, the mean level over its
# plants whose own first..last dates hold the date, a plant not assessed that
# day taking the value on the line between its assessments either side; a
# plant whose level falls is refused, as the batch does, and left out. Run it
# as
#   Rscript tests/trial/data/curves_huasahuasi.R
# It reads huasahuasi-long.csv beside it and writes curves_huasahuasi.csv
# there: site, group, date, level, plots.
script <- sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE))
data_dir <- dirname(script)
out_file <- file.path(data_dir, "curves_huasahuasi.csv")

long <- read.csv(file.path(data_dir, "huasahuasi-long.csv"), stringsAsFactors = FALSE)
long <- long[seq_len(nrow(long)) %% 7 != 0, ]
long$day <- as.numeric(as.Date(long$date))
long <- long[order(long$plot, long$day), ]
refused <- tapply(long$level, long$plot, function(levels) any(diff(levels) < 0))

rows <- list()
for (site in unique(long$trt)) {
  for (clone in c("Yungay", "C386209.10")) {
    chosen <- long[long$trt == site & long$clon == clone & !refused[long$plot], ]
    plots <- split(chosen, chosen$plot)
    days <- sort(unique(chosen$day))
    for (d in days) {
      levels <- c()
      for (p in plots)
        if (d >= min(p$day) && d <= max(p$day))
          levels <- c(levels, approx(p$day, p$level, xout = d)$y)
      rows[[length(rows) + 1]] <- data.frame(
        site = site, group = clone, date = format(as.Date(d, origin = "1970-01-01")),
        level = sprintf("%.17g", mean(levels)), plots = length(levels))
    }
  }
}
write.csv(do.call(rbind, rows), out_file, row.names = FALSE, quote = FALSE)
