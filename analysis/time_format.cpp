#include "analysis/time_format.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

namespace ztlive {

namespace {

bool Usable(const TimeBase& base) { return base.sampleRate > 0 && base.BytesPerFrame() > 0; }

}  // namespace

std::string FormatOffset(int64_t offset, const TimeBase& base, TimeMode mode) {
  if (offset < 0 || !Usable(base)) return std::string(kNoTime);
  const int64_t frames = offset / base.BytesPerFrame();
  char text[64];
  switch (mode) {
    case TimeMode::kFrames:
      std::snprintf(text, sizeof text, "%lld", static_cast<long long>(frames));
      break;
    case TimeMode::kClock: {
      const int64_t whole = frames / base.sampleRate;
      const int64_t rest = frames % base.sampleRate;
      const auto tenThousandths = static_cast<long>(rest * 10000 / base.sampleRate);
      std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%04ld", static_cast<long long>(whole / 3600),
                    static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60), tenThousandths);
      break;
    }
    case TimeMode::kSeconds:
      std::snprintf(text, sizeof text, "%8.4f", static_cast<double>(frames) / base.sampleRate);
      break;
  }
  return text;
}

std::string FormatClock(int64_t offset, const TimeBase& base) {
  if (offset < 0 || !Usable(base)) return "-:--:--.---";
  const int64_t frames = offset / base.BytesPerFrame();
  const int64_t whole = frames / base.sampleRate;
  const int64_t millis = frames % base.sampleRate * 1000 / base.sampleRate;
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(whole / 3600),
                static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60),
                static_cast<long long>(millis));
  return text;
}

std::optional<int64_t> ParseTime(std::string_view text, const TimeBase& base, TimeMode mode) {
  if (!Usable(base)) return std::nullopt;
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  if (text.empty() || text.size() > 40) return std::nullopt;
  const std::string copy(text);
  if (mode == TimeMode::kFrames) {
    size_t used = 0;
    long long frames = 0;
    try {
      frames = std::stoll(copy, &used);
    } catch (...) {
      return std::nullopt;
    }
    if (used != copy.size() || frames < 0) return std::nullopt;
    return frames * base.BytesPerFrame();
  }
  // Up to three fields separated by ':'; only the last may have a fraction.
  double seconds = 0.0;
  int fields = 0;
  size_t start = 0;
  while (true) {
    const size_t colon = copy.find(':', start);
    const std::string field = copy.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    const bool last = colon == std::string::npos;
    if (field.empty() || ++fields > 3) return std::nullopt;
    bool point = false;
    for (const char c : field) {
      if (c == '.' && last && !point) {
        point = true;
      } else if (!std::isdigit(static_cast<unsigned char>(c))) {
        return std::nullopt;
      }
    }
    if (field == ".") return std::nullopt;
    seconds = seconds * 60.0 + std::stod(field);
    if (last) break;
    start = colon + 1;
  }
  if (!std::isfinite(seconds) || seconds > 1e9) return std::nullopt;
  // A small allowance so that a typed 0.001 is not the frame before it by rounding.
  const auto frames = static_cast<int64_t>(std::floor(seconds * base.sampleRate + 1e-6));
  return frames * base.BytesPerFrame();
}

}  // namespace ztlive
