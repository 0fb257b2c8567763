# The figure of docs/r.md: a sweep of Survival, five replicates per value, and the
# plot's total count against time (mean of the replicates, and their range).
# Run from the repository with the package installed:
#   Rscript docs/r/sweep-survival.R   (writes docs/r/sweep-survival.png)
library(glebix)

design <- data.frame(Survival = c(0.3, 0.35, 0.4, 0.45, 0.5))
runs <- glebix_sweep(design, replicates = 5, seed = 2024, steps = 300, cores = 2)

by_step <- aggregate(total_density ~ Survival + step, data = runs,
                     FUN = function(x) c(mean = mean(x), low = min(x), high = max(x)))
by_step <- do.call(data.frame, by_step)

output <- "docs/r/sweep-survival.png"
temporary <- paste0(output, ".tmp.png")
png(temporary, width = 900, height = 600, res = 110)
colours <- hcl.colors(nrow(design), "viridis")
plot(NULL, xlim = c(0, 300), ylim = c(0, max(by_step$total_density.high)),
     xlab = "pas de temps", ylab = "effectif total de la parcelle",
     main = "Effectif total selon la survie (5 r\u00e9p\u00e9titions, m\u00eames graines)")
for (k in seq_len(nrow(design))) {
  s <- by_step[by_step$Survival == design$Survival[k], ]
  polygon(c(s$step, rev(s$step)), c(s$total_density.low, rev(s$total_density.high)),
          col = adjustcolor(colours[k], 0.25), border = NA)
  lines(s$step, s$total_density.mean, col = colours[k], lwd = 2)
}
legend("bottomright", inset = c(0.02, 0.05), legend = paste("Survival =", design$Survival), col = colours, lwd = 2,
       bty = "n")
invisible(dev.off())
invisible(file.rename(temporary, output))
