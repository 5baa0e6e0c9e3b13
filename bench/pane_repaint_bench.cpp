// Drawing cost of a wave pane on a long file: a one-hour 44.1 kHz 16-bit stereo recording
// (635 MB, written straight to disk) with its peak file. Prints milliseconds for
//   - opening the file (peak file present) in a document view up to its first paint,
//   - a repaint of the pane without any change (and of an empty pane, for comparison),
//   - a zoom step (in or out) with its repaint, and a scroll step with its repaint,
// each against the frame budget of 16 ms (100 ms for the opening). Runs under the offscreen
// platform unless QT_QPA_PLATFORM names another; the files go when it ends.
#include <QApplication>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <vector>

#include "app/document_view.h"
#include "core/peak_file.h"
#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "platform/virtual_sound_card.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kRate = 44100;
constexpr uint64_t kSeconds = 3600;
constexpr uint64_t kDataBytes = kSeconds * kRate * 4;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Put16(std::vector<char>& b, uint16_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>(v >> 8));
}
void Put32(std::vector<char>& b, uint32_t v) {
  Put16(b, static_cast<uint16_t>(v & 0xFFFF));
  Put16(b, static_cast<uint16_t>(v >> 16));
}

// A 44-byte header and the data in 1 MiB pieces: a 220 Hz tone whose level follows a slow
// swell, so the envelope has shape at every zoom.
bool WriteLongWave(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  std::vector<char> header;
  header.insert(header.end(), {'R', 'I', 'F', 'F'});
  Put32(header, static_cast<uint32_t>(36 + kDataBytes));
  header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(header, 16);
  Put16(header, 1);
  Put16(header, 2);
  Put32(header, kRate);
  Put32(header, kRate * 4);
  Put16(header, 4);
  Put16(header, 16);
  header.insert(header.end(), {'d', 'a', 't', 'a'});
  Put32(header, static_cast<uint32_t>(kDataBytes));
  out.write(header.data(), static_cast<std::streamsize>(header.size()));

  constexpr size_t kPieceFrames = 1 << 18;
  std::vector<int16_t> tone(kPieceFrames * 2);
  std::vector<int16_t> piece(tone.size());
  for (size_t f = 0; f < kPieceFrames; ++f) {
    const double value = std::sin(2 * M_PI * 220.0 * double(f) / kRate);
    tone[2 * f] = static_cast<int16_t>(30000 * value);
    tone[2 * f + 1] = static_cast<int16_t>(-20000 * value);
  }
  uint64_t written = 0;
  for (uint64_t index = 0; written < kDataBytes; ++index) {
    const double level = 0.55 + 0.45 * std::sin(double(index) * 0.37) * std::cos(double(index) * 0.051);
    for (size_t i = 0; i < tone.size(); ++i) piece[i] = static_cast<int16_t>(tone[i] * level);
    const auto bytes = static_cast<std::streamsize>(std::min<uint64_t>(piece.size() * 2, kDataBytes - written));
    out.write(reinterpret_cast<const char*>(piece.data()), bytes);
    written += static_cast<uint64_t>(bytes);
  }
  return static_cast<bool>(out);
}

struct Figures {
  std::vector<double> ms;
  void Add(double value) { ms.push_back(value); }
  double Mean() const {
    double sum = 0;
    for (const double v : ms) sum += v;
    return ms.empty() ? 0 : sum / double(ms.size());
  }
  double Worst() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

void Print(const char* what, const Figures& figures, double goalMs) {
  std::printf("%-44s %4zu runs  mean %7.2f ms  worst %7.2f ms  goal < %5.1f ms  %s\n", what, figures.ms.size(),
              figures.Mean(), figures.Worst(), goalMs, figures.Worst() < goalMs ? "ok" : "OVER");
}

int Run() {
  test::TestFolder folder;
  const std::string wave = folder.File("hour.wav");
  auto start = Clock::now();
  if (!WriteLongWave(wave)) {
    std::fprintf(stderr, "cannot write %s\n", wave.c_str());
    return 1;
  }
  std::printf("one hour of 44.1 kHz 16-bit stereo (%.0f MB) written in %.0f ms\n", double(kDataBytes) / 1e6,
              MsSince(start));
  RunState run;
  ScriptedPrompts prompts;
  start = Clock::now();
  if (PeakFile(wave, run, prompts).Build(0, 0) != 0) {
    std::fprintf(stderr, "cannot build the peak file\n");
    return 1;
  }
  std::printf("peak file built in %.0f ms\n\n", MsSince(start));

  VirtualSoundCard card;
  MessageQueue queue;
  WaveStream playStream(4096, 4096, run);
  WaveStream recordStream(4096, 4096, run);
  DeviceEngine engine(card, queue, prompts, run, playStream, recordStream, {});
  SettingsStore settings(folder.File("settings.ini"));
  DocumentView view(run, prompts, engine, settings);
  view.resize(1920, 1000);
  view.show();
  QApplication::processEvents();
  WavePaneWidget& pane = view.PaneWidget(PaneId::Source);
  std::printf("pane drawing rectangle %d x %d pixels\n", pane.DrawingRect().width(), pane.DrawingRect().height());

  Figures open;
  for (int i = 0; i < 5; ++i) {
    view.ShowFiles("", "");
    pane.repaint();
    start = Clock::now();
    view.ShowFiles(wave, "");
    pane.repaint();
    open.Add(MsSince(start));
  }

  // An empty pane first: what a repaint costs the toolkit before anything is drawn.
  Figures empty;
  view.ShowFiles("", "");
  for (int i = 0; i < 50; ++i) {
    start = Clock::now();
    pane.repaint();
    empty.Add(MsSince(start));
  }
  view.ShowFiles(wave, "");
  Figures repaint;
  for (int i = 0; i < 50; ++i) {
    start = Clock::now();
    pane.repaint();
    repaint.Add(MsSince(start));
  }

  // Zoom in by halves from the whole hour down to a few hundred frames, then out again.
  Figures zoomIn;
  Figures zoomOut;
  WavePane& state = view.State().Pane(PaneId::Source);
  view.SetActivePane(PaneId::Source);
  for (int round = 0; round < 3; ++round) {
    view.ZoomOutFull();
    for (int step = 0; step < 20; ++step) {
      const uint64_t width = state.View().end - state.View().start;
      state.SetSelection(state.View().start + width / 4, state.View().start + 3 * width / 4);
      start = Clock::now();
      view.ZoomIn();
      pane.repaint();
      zoomIn.Add(MsSince(start));
    }
    for (int step = 0; step < 24; ++step) {
      start = Clock::now();
      view.ZoomOut();
      pane.repaint();
      zoomOut.Add(MsSince(start));
    }
  }

  // Scroll lines and pages at views of ten minutes, one minute and one second.
  Figures scroll;
  QScrollBar& bar = pane.HorizontalBar();
  for (const uint64_t seconds : {600ull, 60ull, 1ull}) {
    state.ShowRange(kDataBytes / 3, kDataBytes / 3 + seconds * kRate * 4);
    for (int step = 0; step < 20; ++step) {
      start = Clock::now();
      bar.triggerAction(step % 2 == 0 ? QAbstractSlider::SliderSingleStepAdd : QAbstractSlider::SliderPageStepAdd);
      pane.repaint();
      scroll.Add(MsSince(start));
    }
  }

  std::printf("\n");
  Print("open (peak file present) to first paint", open, 100);
  Print("repaint of an empty pane (toolkit only)", empty, 16);
  Print("repaint, nothing changed", repaint, 16);
  Print("zoom in by half, with its repaint", zoomIn, 16);
  Print("zoom out, with its repaint", zoomOut, 16);
  Print("scroll a line or a page, with its repaint", scroll, 16);
  return 0;
}

}  // namespace
}  // namespace ztlive

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  return ztlive::Run();
}
