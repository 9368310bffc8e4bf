# The huasahuasi trial as three sites, one per fungicide treatment (`trt`),
# evaluated over the sites in base R for tst_site_evaluation: each site's
# slope through the origin of its standards' values on their mean relative
# AUDPC, each standard's fitted value and deviation, the combined table's
# means, sample deviations, coefficients of variation and ranks of the
# groups' scale values, and Spearman's rank correlation between each pair of
# sites. Run it as
#   Rscript tests/trial/data/sites_huasahuasi.R
# It reads huasahuasi-long.csv beside it and writes sites_huasahuasi.csv there,
# one value a row: by (the column grouped by), site, item (a standard, a group
# or the other site of a pair), measure, value (empty where there is none).
script <- sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE))
data_dir <- dirname(script)
out_file <- file.path(data_dir, "sites_huasahuasi.csv")

long <- read.csv(file.path(data_dir, "huasahuasi-long.csv"), stringsAsFactors = FALSE)
long$day <- as.numeric(as.Date(long$date))
long <- long[order(long$plot, long$day), ]
plots <- unique(long[, c("plot", "trt", "clon", "plant")])
plots$relative_audpc <- sapply(plots$plot, function(p) {
  rows <- long[long$plot == p, ]
  n <- nrow(rows)
  audpc <- sum((rows$level[-1] + rows$level[-n]) / 2 * diff(rows$day))
  audpc / (100 * (rows$day[n] - rows$day[1]))
})
# A plot whose level falls is refused, as the batch does: not averaged.
plots$refused <- sapply(plots$plot, function(p) any(diff(long$level[long$plot == p]) < 0))
# The file lists plots as they first appear, which order(plot) kept.
sites <- unique(plots$trt)

evaluate <- function(by, standards) {
  rows <- list()
  put <- function(site, item, measure, value) {
    rows[[length(rows) + 1]] <<- data.frame(by = by, site = site, item = item,
                                            measure = measure, value = value)
  }
  groups <- unique(plots[[by]])
  means <- sapply(sites, function(s) {
    chosen <- plots[plots$trt == s & !plots$refused, ]
    sapply(groups, function(g) {
      values <- chosen$relative_audpc[chosen[[by]] == g]
      if (length(values) == 0) NA else mean(values)
    })
  })
  rownames(means) <- groups
  scales <- means
  for (s in sites) {
    m <- means[names(standards), s]
    slope <- sum(standards * m) / sum(m^2)
    fitted <- slope * m
    for (i in seq_along(standards)) {
      put(s, names(standards)[i], "relative_audpc_mean", m[i])
      put(s, names(standards)[i], "slope", slope)
      put(s, names(standards)[i], "fitted", fitted[i])
      put(s, names(standards)[i], "deviation", fitted[i] - standards[i])
    }
    scales[, s] <- slope * means[, s]
  }
  scale_mean <- rowMeans(scales)
  scale_sd <- apply(scales, 1, sd)
  rank <- rank(scale_mean, ties.method = "min")
  for (g in groups) {
    put("", g, "sites", sum(!is.na(scales[g, ])))
    put("", g, "scale_mean", scale_mean[g])
    put("", g, "scale_sd", scale_sd[g])
    put("", g, "scale_cv", 100 * scale_sd[g] / scale_mean[g])
    put("", g, "rank", rank[g])
    for (s in sites)
      put(s, g, "scale", scales[g, s])
  }
  for (a in seq_along(sites))
    for (b in seq_along(sites))
      if (a < b) {
        shared <- !is.na(means[, a]) & !is.na(means[, b])
        put(sites[a], sites[b], "shared", sum(shared))
        put(sites[a], sites[b], "rho",
            cor(means[shared, a], means[shared, b], method = "spearman"))
      }
  do.call(rbind, rows)
}

# By clone, and by plant number: ten groups whose orders differ between the
# sites, with tied means.
result <- rbind(
  evaluate("clon", c(Yungay = 5, Musuq = 8)),
  evaluate("plant", c("1" = 3, "10" = 7)))
result$value <- ifelse(is.na(result$value), "", sprintf("%.17g", result$value))
write.csv(result, out_file, row.names = FALSE, quote = FALSE)
