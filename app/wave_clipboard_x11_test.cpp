// The audio clipboard between two processes on a real X server (a private Xvfb started by the
// test): one process offers, the other pastes, and the bytes must arrive exactly.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <string>

#include "platform/file_ops.h"
#include "testing/same_bytes.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::ReadBytes;
using test::WaveBytes;

// A private X server on a display it picks itself (-displayfd: no race for a free number),
// ready once its socket exists.
class XServer {
 public:
  // Asked to end, the server removes its socket and lock file; killed, it would leave them.
  ~XServer() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
      m_process.kill();
      m_process.waitForFinished(5000);
    }
  }

  // Empty when the server runs, else why it does not.
  std::string Start() {
    m_process.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                                             QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                                             QStringLiteral("320x240x24")});
    if (!m_process.waitForStarted(5000)) return "Xvfb cannot be started: " + m_process.errorString().toStdString();
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    while (!said.contains('\n') && clock.elapsed() < 15000) {
      if (m_process.state() == QProcess::NotRunning)
        return "Xvfb ended: " + m_process.readAllStandardError().toStdString();
      m_process.waitForReadyRead(200);
      said += m_process.readAllStandardOutput();
    }
    bool isNumber = false;
    const int display = said.trimmed().toInt(&isNumber);
    if (!isNumber) return "Xvfb named no display";
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
    struct stat info {};
    while (stat(socket.c_str(), &info) != 0 && clock.elapsed() < 15000) m_process.waitForFinished(50);
    if (!S_ISSOCK(info.st_mode)) return "the socket of display :" + std::to_string(display) + " did not appear";
    m_display = QStringLiteral(":%1").arg(display);
    return {};
  }

  const QString& Display() const { return m_display; }

 private:
  QProcess m_process;
  QString m_display;
};

QProcessEnvironment PeerEnvironment(const QString& display) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  environment.insert(QStringLiteral("DISPLAY"), display);
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  return environment;
}

QStringList Arguments(const std::vector<std::string>& words) {
  QStringList arguments;
  for (const std::string& word : words) arguments << QString::fromStdString(word);
  return arguments;
}

// The offering side runs until the test ends it.
class Offering {
 public:
  ~Offering() {
    if (m_process.state() != QProcess::NotRunning) {
      m_process.kill();
      m_process.waitForFinished(5000);
    }
  }

  // True once the peer said it holds the clipboard.
  bool Start(const QString& display, const std::vector<std::string>& words) {
    m_process.setProcessEnvironment(PeerEnvironment(display));
    m_process.start(QStringLiteral(ZTLIVE_CLIPBOARD_PEER), Arguments(words));
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    while (!said.contains("ready\n") && clock.elapsed() < 20000 && m_process.state() != QProcess::NotRunning) {
      m_process.waitForReadyRead(200);
      said += m_process.readAllStandardOutput();
    }
    return said.contains("ready\n");
  }

  std::string Errors() { return m_process.readAllStandardError().toStdString(); }

 private:
  QProcess m_process;
};

// Runs the pasting side to its end: its exit code, or -1 when it did not end in time.
int Paste(const QString& display, const std::string& tempFolder, const std::string& out, std::string& errors) {
  QProcess paste;
  paste.setProcessEnvironment(PeerEnvironment(display));
  paste.start(QStringLiteral(ZTLIVE_CLIPBOARD_PEER), Arguments({"paste", tempFolder, out}));
  const bool ended = paste.waitForFinished(30000);
  errors = paste.readAllStandardError().toStdString();
  if (!ended) {
    paste.kill();
    paste.waitForFinished(5000);
    return -1;
  }
  return paste.exitStatus() == QProcess::NormalExit ? paste.exitCode() : -1;
}

std::vector<uint8_t> Ramp(size_t count) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(static_cast<int>(i * 131 % 65536) - 32768);
  return test::Samples16(samples);
}

TEST(WaveClipboardBetweenProcesses, TheBytesArriveExactly) {
  XServer server;
  if (const std::string why = server.Start(); !why.empty()) GTEST_SKIP() << why;

  test::TestFolder folder;
  // Two seconds of 44.1 kHz stereo: larger than one X transfer, so it goes in pieces.
  const std::vector<uint8_t> samples = Ramp(2 * 88200);
  const std::string source = folder.File("source.wav");
  test::WriteBytes(source, WaveBytes().Format(1, 2, 44100, 16).Data(samples).Build());
  const size_t from = 4 * 1000;
  const size_t to = samples.size() - 4 * 3;
  const std::vector<uint8_t> range =
      WaveBytes()
          .Format(1, 2, 44100, 16)
          .Data({samples.begin() + static_cast<long>(from), samples.begin() + static_cast<long>(to)})
          .Build();
  const std::vector<uint8_t> small = WaveBytes().Format(1, 1, 8000, 16).Data(Ramp(300)).Build();
  test::WriteBytes(folder.File("small.wav"), small);
  test::WriteFileText(folder.File("garbage.wav"), "RIFF....WAVEnot really");

  struct Case {
    const char* name;
    std::vector<std::string> offer;  // the offering peer's words
    int pasteExit;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {
      {"a copied range, served from its file", {"copy", source, std::to_string(from), std::to_string(to), ""}, 0, range},
      {"another program's whole large wave", {"offer", source}, 0, test::ReadBytes(source)},
      {"another program's small wave", {"offer", folder.File("small.wav")}, 0, small},
      {"another program's garbage is refused", {"offer", folder.File("garbage.wav")}, 3, {}},
  };
  int round = 0;
  for (Case c : cases) {
    SCOPED_TRACE(c.name);
    ++round;
    const std::string offerTemp = folder.File("offer" + std::to_string(round));
    const std::string pasteTemp = folder.File("paste" + std::to_string(round));
    mkdir(offerTemp.c_str(), 0700);
    mkdir(pasteTemp.c_str(), 0700);
    if (c.offer[0] == "copy") c.offer.back() = offerTemp;

    Offering offering;
    ASSERT_TRUE(offering.Start(server.Display(), c.offer)) << offering.Errors();
    const std::string out = folder.File("out" + std::to_string(round) + ".wav");
    std::string errors;
    EXPECT_EQ(Paste(server.Display(), pasteTemp, out, errors), c.pasteExit) << errors;
    if (c.pasteExit == 0) {
      EXPECT_TRUE(test::SameBytes(ReadBytes(out), c.expected));
    } else {
      EXPECT_FALSE(FileExists(out));
    }
  }
}

}  // namespace
}  // namespace ztlive
