// The program side of displays_cpu.py: the main window under the offscreen platform plays a
// file on a private JACK server with the level meter, spectrum analyzer and XY display open
// ("open") or all three closed ("closed"), and prints the CPU time this process used while it
// played, as a share of one core.
//
// usage: displays_cpu_host FILE.wav SECONDS open|closed
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/app_core.h"
#include "app/child_frame.h"
#include "app/display_windows.h"
#include "app/main_frame.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "testing/jack_test_server.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6 + double(usage.ru_stime.tv_sec) +
         usage.ru_stime.tv_usec / 1e6;
}

// Runs the event loop as the program does, idle between events.
void RunEventsFor(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: displays_cpu_host FILE.wav SECONDS open|closed\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  const std::string wave = argv[1];
  const double seconds = std::atof(argv[2]);
  const bool open = std::string(argv[3]) == "open";
  using namespace ztlive;
  auto server = std::make_unique<test::JackTestServer>();
  if (!server->Running()) {
    std::fprintf(stderr, "no JACK test server: %s\n", server->FailureText().c_str());
    return 1;
  }
  auto devices = std::make_unique<PortAudioWaveSystem>();
  const int loopback = test::LoopbackDeviceId(devices->OutputDeviceNames());
  ScriptedPrompts prompts;
  auto core = std::make_unique<AppCore>(std::move(devices), prompts);
  auto frame = std::make_unique<CMainFrame>(*core);
  frame->show();
  core->Settings().Write(setting::kDevOut, loopback);
  core->ApplyDeviceSettings();
  if (!frame->OpenDocument(QString::fromStdString(wave))) return 1;
  frame->ActiveChild()->View().SelectAll();
  if (open) {
    frame->Command("spectrumAnalyzer")->trigger();
    frame->Command("xyDisplay")->trigger();
  } else {
    frame->Command("levelMeter")->trigger();  // the meter is shown by default
  }
  RunEventsFor(300);
  frame->Command("play")->trigger();
  if (core->Run().engineState != kEnginePlaying) return 1;
  RunEventsFor(500);  // the first buffers and paints
  const double cpu = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  RunEventsFor(static_cast<int>(seconds * 1000));
  const double used = CpuSeconds() - cpu;
  const double elapsed = wall.elapsed() / 1000.0;
  const bool stillPlaying = core->Run().engineState == kEnginePlaying;
  std::printf("cpu_percent %.3f wall %.3f blocks %llu playing %d\n", 100.0 * used / elapsed, elapsed,
              static_cast<unsigned long long>(frame->Displays().Feed().BlocksTaken()), stillPlaying ? 1 : 0);
  frame->Command("stop")->trigger();
  RunEventsFor(200);
  frame.reset();
  core.reset();
  return stillPlaying ? 0 : 1;
}
