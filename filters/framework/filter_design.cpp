#include "filters/framework/filter_design.h"

#include <cmath>

namespace ztlive {

namespace {

double LowPassC(double fc, double fs) { return 1.0 / std::tan(3.1415926535898 * fc / fs); }
double HighPassK(double fc, double fs) { return 1.0 / std::tan((1.0 - 2.0 * fc / fs) * 1.5707963267949); }

}  // namespace

SectionCoefficients DesignLowPass1(double fc, double fs) {
  const double c = LowPassC(fc, fs);
  SectionCoefficients s;
  s.order = 1;
  s.b[0] = s.b[1] = 1.0 / (1.0 + c);
  s.a[1] = (1.0 - c) / (1.0 + c);
  return s;
}

SectionCoefficients DesignLowPass2(double fc, double fs) {
  const double c = LowPassC(fc, fs);
  const double d = c * c + 1.41421356 * c + 1.0;
  SectionCoefficients s;
  s.order = 2;
  s.b[0] = 1.0 / d;
  s.b[1] = 2.0 / d;
  s.b[2] = 1.0 / d;
  s.a[1] = (2.0 - 2.0 * c * c) / d;
  s.a[2] = (1.0 - 1.41421356 * c + c * c) / d;
  return s;
}

SectionCoefficients DesignLowPass3(double fc, double fs) {
  const double c = LowPassC(fc, fs);
  const double c2 = c * c;
  const double c3 = c2 * c;
  const double d = 1.0 + 2.0 * c + 2.0 * c2 + c3;
  SectionCoefficients s;
  s.order = 3;
  s.b[0] = 1.0 / d;
  s.b[1] = 3.0 / d;
  s.b[2] = 3.0 / d;
  s.b[3] = 1.0 / d;
  s.a[1] = (3.0 + 2.0 * c - 2.0 * c2 - 3.0 * c3) / d;
  s.a[2] = (3.0 - 2.0 * c - 2.0 * c2 + 3.0 * c3) / d;
  s.a[3] = (1.0 - 2.0 * c + 2.0 * c2 - c3) / d;
  return s;
}

SectionCoefficients DesignHighPass1(double fc, double fs) {
  const double k = HighPassK(fc, fs);
  SectionCoefficients s;
  s.order = 1;
  s.b[0] = 1.0 / (1.0 + k);
  s.b[1] = -1.0 / (1.0 + k);
  s.a[1] = -(1.0 - k) / (1.0 + k);
  return s;
}

SectionCoefficients DesignHighPass2(double fc, double fs) {
  const double k = HighPassK(fc, fs);
  const double d = k * k + 1.414213 * k + 1.0;
  SectionCoefficients s;
  s.order = 2;
  s.b[0] = 1.0 / d;
  s.b[1] = -2.0 / d;
  s.b[2] = 1.0 / d;
  s.a[1] = -(2.0 - 2.0 * k * k) / d;
  s.a[2] = (1.0 - 1.414213 * k + k * k) / d;
  return s;
}

SectionCoefficients DesignHighPass3(double fc, double fs) {
  const double k = HighPassK(fc, fs);
  const double k2 = k * k;
  const double k3 = k2 * k;
  const double d = 1.0 + 2.0 * k + 2.0 * k2 + k3;
  SectionCoefficients s;
  s.order = 3;
  s.b[0] = 1.0 / d;
  s.b[1] = -3.0 / d;
  s.b[2] = 3.0 / d;
  s.b[3] = -1.0 / d;
  s.a[1] = -(3.0 + 2.0 * k - 2.0 * k2 - 3.0 * k3) / d;
  s.a[2] = (3.0 - 2.0 * k - 2.0 * k2 + 3.0 * k3) / d;
  s.a[3] = -(1.0 - 2.0 * k + 2.0 * k2 - k3) / d;
  return s;
}

SectionCoefficients DesignLowPass(int slope, double fc, double fs) {
  if (slope == 0) return DesignLowPass1(fc, fs);
  if (slope == 1) return DesignLowPass2(fc, fs);
  return DesignLowPass3(fc, fs);
}

SectionCoefficients DesignHighPass(int slope, double fc, double fs) {
  if (slope == 0) return DesignHighPass1(fc, fs);
  if (slope == 1) return DesignHighPass2(fc, fs);
  return DesignHighPass3(fc, fs);
}

}  // namespace ztlive
