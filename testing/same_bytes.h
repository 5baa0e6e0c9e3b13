// A byte-for-byte comparison for tests whose failure says where the bytes part (the sizes and
// the first differing offset) instead of printing whole files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ztlive::test {

inline testing::AssertionResult SameBytes(const std::vector<uint8_t>& actual, const std::vector<uint8_t>& expected) {
  const size_t common = std::min(actual.size(), expected.size());
  const size_t first = static_cast<size_t>(
      std::mismatch(actual.begin(), actual.begin() + static_cast<long>(common), expected.begin()).first -
      actual.begin());
  if (first == common && actual.size() == expected.size()) return testing::AssertionSuccess();
  testing::AssertionResult failure = testing::AssertionFailure();
  failure << actual.size() << " bytes where " << expected.size() << " were expected";
  if (first < common)
    failure << "; the first difference is at byte " << first << ": " << int{actual[first]} << " instead of "
            << int{expected[first]};
  return failure;
}

}  // namespace ztlive::test
