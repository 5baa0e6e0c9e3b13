// The analysis windows of the spectral filters and the spectrum analyzer.
#pragma once

namespace ztlive {

// out[i] = 0.543478261 - 0.46 cos(2 pi i / (n - 1)), i = 0 ... n - 1 (the constant is 25/46).
void HammingWindow(int n, double* out);
// out[i] = 0.42 - 0.5 cos(2 pi i / (n - 1)) + 0.08 cos(4 pi i / (n - 1)).
// A window of one point is 1 for both.
void BlackmanWindow(int n, double* out);

}  // namespace ztlive
