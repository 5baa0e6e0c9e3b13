// A small program for the clipboard tests between processes, run on a real window system:
//
//   copy <wave> <from> <to> <temp folder>  copies a range with WaveClipboard, prints "ready"
//                                          and keeps serving the clipboard until ended
//   offer <file>                           puts the file's bytes on the clipboard as plain
//                                          "audio/wav" (as another audio program would),
//                                          prints "ready" and keeps serving
//   paste <temp folder> <out>              takes the clipboard's wave with WaveClipboard and
//                                          copies the file it got to out
//
// Exit codes: 0 done, 1 usage, 2 no wave on the clipboard, 3 the copy or paste failed.
#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QClipboard>
#include <cstdio>
#include <string>

#include "app/wave_clipboard.h"
#include "platform/console_prompts.h"
#include "platform/file_ops.h"

namespace {

void SayReady() {
  std::fputs("ready\n", stdout);
  std::fflush(stdout);
}

int Copy(char** argv) {
  ztlive::ConsolePrompts prompts(ztlive::ConsolePrompts::Policy::No);
  const std::string folder = argv[5];
  ztlive::WaveClipboard clipboard(prompts, [folder] { return folder; });
  if (!clipboard.Copy(argv[2], std::stoull(argv[3]), std::stoull(argv[4]))) return 3;
  SayReady();
  return QGuiApplication::exec();
}

int Offer(const char* path) {
  QFile file(QString::fromLocal8Bit(path));
  if (!file.open(QIODevice::ReadOnly)) return 3;
  auto* data = new QMimeData;
  data->setData(QStringLiteral("audio/wav"), file.readAll());
  QGuiApplication::clipboard()->setMimeData(data);
  SayReady();
  return QGuiApplication::exec();
}

int Paste(char** argv) {
  ztlive::ConsolePrompts prompts(ztlive::ConsolePrompts::Policy::No);
  const std::string folder = argv[2];
  ztlive::WaveClipboard clipboard(prompts, [folder] { return folder; });
  if (!clipboard.HasWave()) return 2;
  const std::string fetched = clipboard.FetchWave();
  if (fetched.empty()) return 3;
  return ztlive::CopyFile(fetched, argv[3], false) == 0 ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "copy" && argc == 6) return Copy(argv);
  if (mode == "offer" && argc == 3) return Offer(argv[2]);
  if (mode == "paste" && argc == 4) return Paste(argv);
  std::fputs("usage: copy <wave> <from> <to> <temp folder> | offer <file> | paste <temp folder> <out>\n", stderr);
  return 1;
}
