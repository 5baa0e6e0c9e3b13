#include "app/wave_clipboard.h"

#include <fcntl.h>
#include <unistd.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <cerrno>
#include <optional>

#include "core/temp_files.h"
#include "core/wave_ranges.h"
#include "document/staged_output.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

// Takes the messages of a check whose failure is reported in other words.
class SilentPrompts : public Prompts {
 public:
  using Prompts::Ask;
  void Show(std::string_view, std::string_view, PromptIcon) override {}
  PromptAnswer Ask(std::string_view, std::string_view, PromptButtons, PromptIcon, PromptAnswer answer) override {
    return answer;
  }
};

// The platform clipboard, or null when there is none to open (no window system).
QClipboard* PlatformClipboard() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  return QGuiApplication::clipboard();
}

// Writes all of bytes into the file at path, which must exist as a regular file (never
// through a link). 0 or errno.
int WriteWhole(const std::string& path, const QByteArray& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  const char* next = bytes.constData();
  auto left = static_cast<size_t>(bytes.size());
  int failure = 0;
  while (left > 0) {
    const ssize_t written = write(fd, next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failure = written < 0 ? errno : EIO;
      break;
    }
    next += written;
    left -= static_cast<size_t>(written);
  }
  if (close(fd) != 0 && failure == 0) failure = errno;
  return failure;
}

}  // namespace

QStringList WaveMimeData::WaveTypes() { return {QStringLiteral("audio/wav"), QStringLiteral("audio/x-wav")}; }

bool WaveMimeData::hasFormat(const QString& mimeType) const { return WaveTypes().contains(mimeType); }

QVariant WaveMimeData::retrieveData(const QString& mimeType, QMetaType) const {
  if (!hasFormat(mimeType)) return {};
  QFile file(QString::fromStdString(m_path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const qint64 size = file.size();
  QByteArray bytes = file.readAll();
  if (bytes.size() != size) return {};  // a part of a wave is worse than none
  return bytes;
}

WaveClipboard::WaveClipboard(Prompts& prompts, std::function<std::string()> tempFolder)
    : m_prompts(prompts), m_tempFolder(std::move(tempFolder)) {}

WaveClipboard::~WaveClipboard() {
  if (HoldsOurs()) PlatformClipboard()->clear();
  if (!m_path.empty()) DeleteTempFile(m_path);
}

bool WaveClipboard::Copy(const std::string& sourceFile, uint64_t from, uint64_t to) {
  QClipboard* clipboard = PlatformClipboard();
  if (clipboard == nullptr) {
    m_prompts.Show(StringText(StringId::kClipboardOpenFailed), "", PromptIcon::Warning);
    return false;
  }
  const auto fail = [this] {
    m_prompts.Show(StringText(StringId::kClipboardCopyFailed), "", PromptIcon::Warning);
    return false;
  };
  const std::string path = MakeTempFileName(m_tempFolder(), m_prompts);
  if (path.empty()) return fail();
  std::string error;
  std::optional<StagedOutput> staged = StagedOutput::Begin(path, false, error);
  if (!staged) {
    m_prompts.Show(error, "", PromptIcon::Warning);
    return fail();
  }
  // The copy makes its file afresh in the source's format; the lock stays held meanwhile.
  unlink(staged->WritePath().c_str());
  if (CopyRange(sourceFile, staged->WritePath(), from, to, 0, 0, m_prompts) != 1) return fail();
  error = staged->Commit();
  if (!error.empty()) {
    m_prompts.Show(error, "", PromptIcon::Warning);
    return fail();
  }
  auto* offered = new WaveMimeData(path);
  clipboard->setMimeData(offered);  // the clipboard owns it from here
  m_offered = offered;
  Replace(path);
  return true;
}

bool WaveClipboard::HasWave() const {
  if (HoldsOurs()) return true;
  const QClipboard* clipboard = PlatformClipboard();
  const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
  if (data == nullptr) return false;
  for (const QString& type : WaveMimeData::WaveTypes())
    if (data->hasFormat(type)) return true;
  return false;
}

std::string WaveClipboard::FetchWave() {
  const QClipboard* clipboard = PlatformClipboard();
  if (clipboard == nullptr) {
    m_prompts.Show(StringText(StringId::kClipboardOpenFailed), "", PromptIcon::Warning);
    return {};
  }
  if (HoldsOurs()) {
    if (access(m_path.c_str(), R_OK) == 0) return m_path;
    m_prompts.Show(FormatText(StringId::kClipboardFileGone, {m_path}), "", PromptIcon::Warning);
    return {};
  }
  const QMimeData* data = clipboard->mimeData();
  QByteArray bytes;
  for (const QString& type : WaveMimeData::WaveTypes()) {
    if (data == nullptr || !data->hasFormat(type)) continue;
    bytes = data->data(type);
    if (!bytes.isEmpty()) break;
  }
  if (bytes.isEmpty()) {
    m_prompts.Show(StringText(StringId::kClipboardNoWave), "", PromptIcon::Information);
    return {};
  }
  std::string path = SaveForeignWave(bytes);
  if (!path.empty()) Replace(path);
  return path;
}

bool WaveClipboard::HoldsOurs() const {
  const QClipboard* clipboard = PlatformClipboard();
  return clipboard != nullptr && !m_offered.isNull() && clipboard->mimeData() == m_offered.data();
}

void WaveClipboard::Replace(const std::string& path) {
  if (!m_path.empty() && m_path != path) DeleteTempFile(m_path);
  m_path = path;
}

std::string WaveClipboard::SaveForeignWave(const QByteArray& bytes) {
  const std::string path = MakeTempFileName(m_tempFolder(), m_prompts);
  if (path.empty()) return {};
  std::string error;
  std::optional<StagedOutput> staged = StagedOutput::Begin(path, false, error);
  if (!staged) {
    m_prompts.Show(error, "", PromptIcon::Warning);
    return {};
  }
  if (const int failure = WriteWhole(staged->WritePath(), bytes); failure != 0) {
    m_prompts.Show(FormatText(StringId::kClipboardNotSaved, {path, SystemErrorText(failure)}), "",
                   PromptIcon::Warning);
    return {};
  }
  // The other program's header is only believed as far as the reader checks it: the data
  // length is what the file really holds, in whole frames.
  SilentPrompts silent;
  WaveInfo info;
  if (ReadWaveInfo(staged->WritePath(), info, silent) != 0 || info.bitsPerSample == 32) {
    m_prompts.Show(StringText(StringId::kClipboardNotPcmWave), "", PromptIcon::Warning);
    return {};
  }
  if (info.blockAlign <= 0 || info.dataBytes < static_cast<uint64_t>(info.blockAlign)) {
    m_prompts.Show(StringText(StringId::kClipboardEmptyWave), "", PromptIcon::Warning);
    return {};
  }
  error = staged->Commit();
  if (!error.empty()) {
    m_prompts.Show(error, "", PromptIcon::Warning);
    return {};
  }
  return path;
}

}  // namespace ztlive
