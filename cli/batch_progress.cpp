#include "cli/batch_progress.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

std::string FileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "12.3 s", "2:03" from a minute on.
std::string WallText(double seconds) {
  if (seconds >= 60) return DurationText(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

}  // namespace

std::string DurationText(double seconds) {
  const long long whole = std::llround(std::max(seconds, 0.0));
  char text[48];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

BatchProgress::BatchProgress(std::FILE* out, std::FILE* err, size_t total, double totalSeconds)
    : m_out(out),
      m_err(err),
      m_terminal(isatty(fileno(err)) != 0),
      m_total(total),
      m_totalSeconds(totalSeconds),
      m_start(std::chrono::steady_clock::now()),
      m_lastDraw(m_start) {}

void BatchProgress::Clear() {
  if (!m_drawn) return;
  std::fprintf(m_err, "\r\033[K");
  m_drawn = false;
}

void BatchProgress::Line(const std::string& text) {
  Clear();
  std::fprintf(m_out, "%s\n", text.c_str());
  std::fflush(m_out);
  Draw();
}

void BatchProgress::Started(size_t id, const std::string& source) {
  m_current[id] = FileName(source);
  Draw();
}

void BatchProgress::Done(size_t id, const std::string& source, const std::string& output, double seconds) {
  m_current.erase(id);
  ++m_done;
  m_doneSeconds += seconds;
  m_settledSeconds += seconds;
  Line(FormatText(StringId::kCliBatchFileDone, {source, output, DurationText(seconds)}));
}

void BatchProgress::Skipped(const std::string& source, const std::string& reason, double seconds) {
  ++m_skipped;
  m_settledSeconds += seconds;
  Line(FormatText(StringId::kCliBatchFileSkipped, {source, reason}));
}

void BatchProgress::Failed(size_t id, const std::string& source, const std::string& reason, double seconds) {
  m_current.erase(id);
  m_settledSeconds += seconds;
  m_failures.push_back(source + ": " + reason);
  Line(FormatText(StringId::kCliBatchFileFailed, {source, reason}));
}

void BatchProgress::Tick() {
  if (std::chrono::steady_clock::now() - m_lastDraw >= kRedrawInterval) Draw();
}

void BatchProgress::Draw() {
  if (!m_terminal) return;
  m_lastDraw = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(m_lastDraw - m_start).count();
  const double left = m_totalSeconds - m_settledSeconds;
  // Time left at the pace of the sound done so far.
  const std::string eta = m_doneSeconds > 0 ? DurationText(elapsed / m_doneSeconds * left) : std::string("?");
  std::string now;
  for (const auto& [id, name] : m_current) now += (now.empty() ? "" : ", ") + name;
  std::string line = FormatText(StringId::kCliBatchProgress,
                                {std::to_string(m_done + m_skipped + m_failures.size()), std::to_string(m_total),
                                 DurationText(m_doneSeconds), eta, now});
  if (line.size() > 160) line = line.substr(0, 157) + "...";
  std::fprintf(m_err, "\r\033[K%s", line.c_str());
  std::fflush(m_err);
  m_drawn = true;
}

void BatchProgress::Summary(size_t notStarted) {
  Clear();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  char hours[32];
  std::snprintf(hours, sizeof hours, "%.3f", m_doneSeconds / 3600);
  if (!m_failures.empty()) {
    std::fprintf(m_out, "%s\n", std::string(StringText(StringId::kCliBatchFailedList)).c_str());
    for (const std::string& failure : m_failures) std::fprintf(m_out, "  %s\n", failure.c_str());
  }
  std::fprintf(m_out, "%s\n",
               FormatText(StringId::kCliBatchSummary,
                          {std::to_string(m_total), std::to_string(m_done), std::to_string(m_skipped),
                           std::to_string(m_failures.size()), std::to_string(notStarted), hours, WallText(wall)})
                   .c_str());
  std::fflush(m_out);
}

}  // namespace ztlive::cli
