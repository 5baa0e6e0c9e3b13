// Savitzky-Golay smoothing coefficients: the least-squares polynomial of an order through a
// window around a point, evaluated at the point, as one weight per offset.
#pragma once

#include <vector>

namespace ztlive {

// Weights for offsets -before ... +after (index 0 is offset -before); solved from the normal
// equations by LU decomposition. The weights sum to 1.
std::vector<double> SavitzkyGolayWeights(int before, int after, int order);

}  // namespace ztlive
