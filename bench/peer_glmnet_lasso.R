# glmnet (R, coordinate descent) on the problems lasso_data.py wrote, at a
# ladder of thresholds: a peer of octave_lasso_bench.m, as
# peer_sklearn_lasso.py is.
#
#   Rscript peer_glmnet_lasso.R <data_dir> [repeats] [case ...]
#
# Prints one line per run, like the others:
#   RUN <case> glmnet <thresh> <seconds> <objective> [<objective> ...]
# objective = 0.5*||A*x - b||^2 + lambda1*||x||_1 in full precision, one per
# lambda for a path case. glmnet minimizes ||A*x - b||^2/(2*m) +
# lambda*||x||_1: it is given lambda1/m, no intercept, no standardization.
# A path case passes the whole decreasing lambda vector in one call, which
# glmnet solves in order, each warm-started from the one before.
#
# glmnet stops when no coordinate update changed the objective by more than
# thresh times the null deviance (a squared-change scale, hence the ladder
# goes much lower than the other solvers' tolerances). Once one run of a
# case takes longer than LASSO_PEER_BUDGET seconds (default 120), its
# tighter thresholds are skipped; each run's passes are capped at what the
# run before did in twice the budget, so that no run goes far past it. A
# run stopped by the cap returns no solution (glmnet keeps only the lambdas
# it finished), so it prints no line and ends the ladder. Run it with one thread
# (OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1).

suppressPackageStartupMessages({
  library(Matrix)
  library(glmnet)
})

THRESHOLDS <- 10^-c(7, 8, 9, 10, 11, 12, 14, 16, 18, 20)
# glmnet's maxit counts passes over the data across the whole path.
MAX_PASSES <- 100000000L
# A run longer than this is not repeated: its spread is small beside it.
REPEAT_BELOW <- 10

load_case <- function(folder) {
  path <- function(name) file.path(folder, name)
  fields <- scan(path("meta.txt"), quiet = TRUE)
  m <- fields[1]; n <- fields[2]
  read_f64 <- function(name, count) readBin(path(name), "double", count, size = 8, endian = "little")
  read_i32 <- function(name, count) readBin(path(name), "integer", count, size = 4, endian = "little")
  if (fields[3] != 0) {
    p <- read_i32("Ap.i32", n + 1)
    A <- sparseMatrix(i = read_i32("Ai.i32", p[n + 1]), p = p, x = read_f64("Ax.f64", p[n + 1]),
                      index1 = FALSE, dims = c(m, n))
  } else {
    A <- matrix(read_f64("A.f64", m * n), m, n)
  }
  nlambda <- fields[6]
  lambdas <- if (nlambda > 0) read_f64("lambdas.f64", nlambda) else fields[4]
  if (is.unsorted(rev(lambdas), strictly = TRUE)) stop(folder, ": lambdas.f64 is not decreasing")
  list(A = A, b = read_f64("b.f64", m), lambdas = lambdas)
}

objective <- function(A, b, x, lambda1) {
  r <- as.numeric(A %*% x) - b
  0.5 * sum(r * r) + lambda1 * sum(abs(x))
}

args <- commandArgs(trailingOnly = TRUE)
data_dir <- args[1]
repeats <- if (length(args) > 1) as.integer(args[2]) else 3L
cases <- if (length(args) > 2) args[-(1:2)] else sort(list.dirs(data_dir, full.names = FALSE, recursive = FALSE))
budget <- as.numeric(Sys.getenv("LASSO_PEER_BUDGET", "120"))
# With lambdas given, glmnet computes all of them; fdev = 0 makes sure no
# early stop on a flat deviance cuts the path short.
glmnet.control(fdev = 0)

for (case in cases) {
  p <- load_case(file.path(data_dir, case))
  m <- nrow(p$A)
  max_passes <- MAX_PASSES
  for (thresh in THRESHOLDS) {
    best <- Inf
    for (r in seq_len(repeats)) {
      start <- proc.time()[["elapsed"]]
      fit <- suppressWarnings(glmnet(p$A, p$b, family = "gaussian", lambda = p$lambdas / m,
                                     intercept = FALSE, standardize = FALSE, thresh = thresh,
                                     maxit = max_passes))
      seconds <- proc.time()[["elapsed"]] - start
      best <- min(best, seconds)
      if (seconds > REPEAT_BELOW) break
    }
    if (fit$jerr != 0) {
      message(sprintf("%s: thresh %.0e stopped after %d passes (%.0f s), its cap; tighter thresholds skipped",
                      case, thresh, max_passes, best))
      break
    }
    X <- as.matrix(fit$beta)
    if (ncol(X) != length(p$lambdas)) stop(case, ": glmnet returned ", ncol(X), " solutions")
    values <- vapply(seq_along(p$lambdas), function(k) objective(p$A, p$b, X[, k], p$lambdas[k]), 0)
    cat(sprintf("RUN %s glmnet %.0e %.4f %s\n", case, thresh, best,
                paste(sprintf("%.17g", values), collapse = " ")))
    flush(stdout())
    if (best > budget) {
      message(sprintf("%s: a run took %.0f s, over the %.0f s budget; tighter thresholds skipped",
                      case, best, budget))
      break
    }
    max_passes <- as.integer(max(1, min(MAX_PASSES, 2 * budget * fit$npasses / seconds)))
  }
}
