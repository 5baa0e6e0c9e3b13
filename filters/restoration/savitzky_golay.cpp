#include "filters/restoration/savitzky_golay.h"

#include <cmath>
#include <utility>

namespace ztlive {

namespace {

// Solves a x = b in place (b becomes x) by LU decomposition with partial pivoting.
void SolveLu(std::vector<std::vector<double>>& a, std::vector<double>& b) {
  const size_t n = b.size();
  std::vector<size_t> pivot(n);
  for (size_t col = 0; col < n; ++col) {
    size_t best = col;
    for (size_t row = col + 1; row < n; ++row)
      if (std::abs(a[row][col]) > std::abs(a[best][col])) best = row;
    std::swap(a[col], a[best]);
    pivot[col] = best;
    for (size_t row = col + 1; row < n; ++row) {
      a[row][col] /= a[col][col];
      for (size_t k = col + 1; k < n; ++k) a[row][k] -= a[row][col] * a[col][k];
    }
  }
  for (size_t i = 0; i < n; ++i) std::swap(b[i], b[pivot[i]]);
  for (size_t i = 0; i < n; ++i)
    for (size_t k = 0; k < i; ++k) b[i] -= a[i][k] * b[k];
  for (size_t i = n; i-- > 0;) {
    for (size_t k = i + 1; k < n; ++k) b[i] -= a[i][k] * b[k];
    b[i] /= a[i][i];
  }
}

}  // namespace

std::vector<double> SavitzkyGolayWeights(int before, int after, int order) {
  const size_t terms = static_cast<size_t>(order) + 1;
  // Normal equations of the fit: A[i][j] = sum over the window of k^(i+j).
  std::vector<std::vector<double>> normal(terms, std::vector<double>(terms, 0.0));
  for (int k = -before; k <= after; ++k)
    for (size_t i = 0; i < terms; ++i)
      for (size_t j = 0; j < terms; ++j) normal[i][j] += std::pow(double(k), double(i + j));
  // The value at the point is the polynomial's constant term: solve for the first unit vector.
  std::vector<double> unit(terms, 0.0);
  unit[0] = 1.0;
  SolveLu(normal, unit);
  std::vector<double> weights;
  for (int k = -before; k <= after; ++k) {
    double weight = 0;
    for (size_t j = 0; j < terms; ++j) weight += unit[j] * std::pow(double(k), double(j));
    weights.push_back(weight);
  }
  return weights;
}

}  // namespace ztlive
