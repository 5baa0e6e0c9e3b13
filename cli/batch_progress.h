// What a batch shows while it runs and at its end: on a terminal one line redrawn in place
// (files done of total, the files being run, sound processed, time left); otherwise only the
// plain line of each file as it ends. The summary counts done, skipped, failed and not started
// files, lists the failures with their reasons, and gives the hours of sound and the wall time.
#pragma once

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace ztlive::cli {

class BatchProgress {
 public:
  // total: files of the share; totalSeconds: the sound they hold in their regions.
  BatchProgress(std::FILE* out, std::FILE* err, size_t total, double totalSeconds);

  void Started(size_t id, const std::string& source);
  void Done(size_t id, const std::string& source, const std::string& output, double seconds);
  void Skipped(const std::string& source, const std::string& reason, double seconds);
  void Failed(size_t id, const std::string& source, const std::string& reason, double seconds);
  // Redraws the terminal line (at most a few times a second).
  void Tick();
  // Prints the summary; notStarted: files left when the batch stopped early.
  void Summary(size_t notStarted);
  bool AnyFailed() const { return !m_failures.empty(); }

 private:
  void Line(const std::string& text);
  void Draw();
  void Clear();

  std::FILE* m_out;
  std::FILE* m_err;
  bool m_terminal;
  bool m_drawn = false;
  size_t m_total;
  double m_totalSeconds;
  size_t m_done = 0;
  size_t m_skipped = 0;
  double m_doneSeconds = 0;  // of the files done
  double m_settledSeconds = 0;  // of the files done, skipped or failed
  std::map<size_t, std::string> m_current;
  std::vector<std::string> m_failures;
  std::chrono::steady_clock::time_point m_start;
  std::chrono::steady_clock::time_point m_lastDraw;
};

// "1:02:03" (hours, minutes, seconds), "2:03" under an hour.
std::string DurationText(double seconds);

}  // namespace ztlive::cli
