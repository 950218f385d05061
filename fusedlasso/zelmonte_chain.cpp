// Dynamic programming along the chain. With F_0(v) = (v - y_0)^2 / 2 and
//   F_k(v) = (v - y_k)^2 / 2 + min_u [F_{k-1}(u) + lambda*|v - u|],
// the derivative of the inner minimum is f_{k-1} = F_{k-1}' clipped to
// [-lambda, lambda]: b_{k-1}(v) = max(-lambda, min(lambda, f_{k-1}(v))), so
//   f_k(v) = v - y_k + b_{k-1}(v).
// b_k is continuous, piecewise linear and nondecreasing: -lambda left of
// lo_k (where f_k = -lambda), +lambda right of hi_k (where f_k = lambda).
// Its slopes are whole numbers, so it is kept as a sorted double-ended queue
// of knots, each a position and the (integer) change of slope there; the
// value at a knot follows from either end by summing slope times distance.
// Clipping f_k drops the knots outside [lo_k, hi_k], from the ends only, and
// adds one knot at each: every knot is added once and dropped at most once,
// so the work is linear in n. Backward, x[n-1] is the zero of f_{n-1} and
// x[k] = x[k+1] clipped to [lo_k, hi_k] (the best x[k] given x[k+1]).
//
// Accuracy: a walk over knots sums its terms with compensation, and every
// other quantity is a difference of nearby positions, so no error grows
// with n; a value held over m samples carries the rounding of one position,
// which its m residuals sum.
#include "zelmonte_chain.h"

#include <algorithm>
#include <cmath>

namespace zelmonte {

namespace {

// A running sum and the rounding error of its additions (Neumaier's
// compensated summation; needs evaluation as written, no contraction).
struct Compensated {
  double sum;
  double error = 0.0;
  void add(double t) {
    const double s = sum + t;
    const double b = s - sum;
    error += (sum - (s - b)) + (t - b);
    sum = s;
  }
  double value() const { return sum + error; }
};

// a*b = p + e exactly (Dekker's product, without a fused multiply-add).
void exact_product(double a, double b, double &p, double &e) {
  p = a * b;
  const double ca = 134217729.0 * a, cb = 134217729.0 * b;  // 2^27 + 1
  const double ah = ca - (ca - a), al = a - ah;
  const double bh = cb - (cb - b), bl = b - bh;
  e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// Knots of b, positions ascending, from index front to back of a ring.
// Crossing knot i to the right, the slope of b grows by step[i] and its
// value by jump[i]: a knot's position is rounded once, when it is placed,
// and a knot with a large slope beside it would carry that rounding, times
// the slope, into every value beyond it, a little more at each sample; the
// jump holds that rounding's effect exactly, so the values are those of the
// unrounded knots.
//
// Each sample adds a knot at each end and drops at least one: its value
// y_k lies left of the back knot (the walk from the back drops it) or
// right of the front knot (the walk from the front does), unless every
// knot sits at y_k, which only a lambda below the rounding of the samples
// allows; those knots are then dropped (their jumps, of the size of that
// rounding, with them). So after sample k at most k + 2 knots are kept,
// and n + 2 slots never run out.
struct Knots {
  double *pos;
  double *jump;
  std::int32_t *step;
  std::int64_t slots;
  std::int64_t front = 0, back = -1, size = 0;
  bool empty() const { return size == 0; }
  void clear() {
    back = front - 1;
    size = 0;
  }
  std::int64_t after(std::int64_t i) const { return i + 1 == slots ? 0 : i + 1; }
  std::int64_t before(std::int64_t i) const { return i == 0 ? slots - 1 : i - 1; }
  void pop_front() {
    front = after(front);
    --size;
  }
  void pop_back() {
    back = before(back);
    --size;
  }
  void set(std::int64_t i, double p, double j, std::int64_t s) {
    pos[i] = p;
    jump[i] = j;
    step[i] = std::int32_t(s);
  }
  void push_front(double p, double j, std::int64_t s) {
    front = before(front);
    if (size++ == 0) back = front;
    set(front, p, j, s);
  }
  void push_back(double p, double j, std::int64_t s) {
    back = after(back);
    if (size++ == 0) front = back;
    set(back, p, j, s);
  }
};

// A zero of a line through (p, g) of slope s > 0: v = p - g / s rounded,
// and the line's value r at v, computed without that rounding.
double place(double p, const Compensated &g, std::int64_t s, double &r) {
  const double sd = double(s);
  const double t = -g.value() / sd;
  const double v = p + t;
  const double b = v - p;
  const double moved = (p - (v - b)) + (t - b);  // p + t = v + moved exactly
  double st, st_error;
  exact_product(sd, t, st, st_error);
  // g + s*(v - p) = g + s*t - s*moved; g.sum + st nearly cancel (exact).
  r = (g.sum + st) + ((g.error + st_error) - sd * moved);
  return v;
}

// The zero v of g, walking over the knots from one end and dropping every
// knot passed: from the front (dir = 1), g = g0 < 0 just left of the front
// knot and rising; from the back (dir = -1), the mirror image, g = g0 > 0
// just right of the back knot and falling leftwards (walked as the front
// walk of the knots with positions, values and slope changes negated, which
// rounds alike). Sets *slope to the slope of g at v, in size, and *r to the
// value of g at v (0 up to rounding: the jump a knot placed at v needs).
// v never passes the first knot kept.
template <int dir>
double walk(Knots &q, double g0, std::int64_t *slope, double *r, std::uint64_t &steps) {
  const std::int64_t &end = dir > 0 ? q.front : q.back;
  double p = dir * q.pos[end];
  Compensated g{dir * g0};
  std::int64_t s = 1;
  double v;
  for (;;) {
    g.add(q.jump[end]);
    s += dir * q.step[end];
    if (dir > 0) {
      q.pop_front();
    } else {
      q.pop_back();
    }
    ++steps;
    if (q.empty()) {
      v = place(p, g, s, *r);
      break;
    }
    const double next = dir * q.pos[end];
    Compensated ahead = g;
    ahead.add(double(s) * (next - p));
    if (ahead.value() >= 0.0) {
      v = place(p, g, s, *r);
      if (v > next) {
        v = next;
        *r = ahead.value();
      }
      break;
    }
    g = ahead;
    p = next;
  }
  *slope = s;
  *r *= dir;
  return dir * v;
}

// Where f = v - y + b(v) is 0, b given by the knots (at least one):
// walking from the front, f = v - y - lambda up to the first knot.
double zero_of(Knots &q, double y, double lambda, std::uint64_t &steps) {
  const double f0 = (q.pos[q.front] - y) - lambda;
  if (f0 >= 0.0) return std::min(y + lambda, q.pos[q.front]);
  std::int64_t slope = 0;
  double r = 0.0;
  return walk<1>(q, f0, &slope, &r, steps);
}

// y0 + d rounded, and the rounding: y0 + d = v + e exactly.
double rounded_sum(double y0, double d, double &e) {
  const double v = y0 + d;
  const double b = v - y0;
  e = (y0 - (v - b)) + (d - b);
  return v;
}

}  // namespace

std::uint64_t chain_scratch_doubles(std::int32_t n) {
  // hi_k for every k; for n + 2 knots a position, a jump and a slope change
  // of 32 bits (two to a double).
  const std::uint64_t m = std::uint64_t(n > 0 ? n : 0);
  return m + 2 * (m + 2) + (m + 3) / 2;
}

std::uint64_t denoise_chain(const double *y, double *x, std::int32_t n, double lambda,
                            double *scratch) {
  std::uint64_t steps = 0;
  if (n <= 0) return steps;
  // Positions, sums of slope times distance and their exact products stay
  // below 2^30 times the largest of |y| and lambda: very large inputs are
  // scaled down by a power of two (exact), and the result back up.
  double largest = lambda;
  for (std::int32_t k = 0; k < n; ++k) largest = std::max(largest, std::fabs(y[k]));
  steps += std::uint64_t(n);
  const double scale = largest > 0x1p960 ? 0x1p-128 : 1.0;
  const double lam = lambda * scale;

  const std::int64_t m = n;
  double *hi = scratch;  // hi_k; lo_k goes into x[k]
  Knots q{scratch + m, scratch + 2 * m + 2, reinterpret_cast<std::int32_t *>(scratch + 3 * m + 4),
          m + 2};

  double yk = y[0] * scale;
  for (std::int32_t k = 0; k + 1 < n; ++k) {
    double lo, up, lo_jump = 0.0, up_jump = 0.0;
    std::int64_t rise = 1, fall = 1;  // slopes of f_k just right of lo, just left of hi
    if (k == 0) {
      // f_0 = v - y_0: b_0 is -lambda up to y_0 - lambda, +lambda from
      // y_0 + lambda, of slope 1 between.
      double e;
      lo = rounded_sum(yk, -lam, e);
      lo_jump = -e;
      up = rounded_sum(yk, lam, e);
      up_jump = e;
    } else {
      // lo_k: f_k + lambda = v - y_k left of the front knot.
      double r = 0.0;
      const double g0 = q.pos[q.front] - yk;
      if (g0 < 0.0) {
        lo = walk<1>(q, g0, &rise, &r, steps);
        lo_jump = r;
      } else {
        lo = yk;
      }
      // hi_k: f_k - lambda = v - y_k right of the back knot.
      const double h0 = q.empty() ? 0.0 : q.pos[q.back] - yk;
      if (h0 > 0.0) {
        up = walk<-1>(q, h0, &fall, &r, steps);
        up_jump = -r;
      } else {
        up = yk;
        if (g0 >= 0.0) q.clear();  // every knot at y_k (see Knots)
      }
      // Rounding can put them in the wrong order only with no knot left
      // between them.
      lo = std::min(lo, up);
    }
    x[k] = lo;
    hi[k] = up;
    q.push_front(lo, lo_jump, rise);
    q.push_back(up, up_jump, -fall);
    ++steps;
    yk = y[k + 1] * scale;
  }

  // The last value: the zero of f_{n-1} (of v - y_0 for one sample).
  double v = n == 1 ? yk : zero_of(q, yk, lam, steps);
  x[n - 1] = v;
  for (std::int32_t k = n - 2; k >= 0; --k) {
    v = std::min(std::max(v, x[k]), hi[k]);
    x[k] = v;
  }
  steps += std::uint64_t(n);
  if (scale != 1.0)
    for (std::int32_t k = 0; k < n; ++k) x[k] /= scale;
  return steps;
}

}  // namespace zelmonte
