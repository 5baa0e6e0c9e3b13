// The desktop clipboard for audio. A copied selection is kept in a temporary wave file of the
// temporary folder; the platform clipboard only announces it as "audio/wav" (and
// "audio/x-wav"), and its bytes are read from the file when some program asks for them, so a
// long selection costs nothing until it is pasted. A wave that another program put on the
// clipboard is saved into a new temporary file before it is pasted from.
//
// One object per application; everything runs on the main thread.
#pragma once

#include <QMimeData>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <string>

#include "platform/prompts.h"

namespace ztlive {

// What this program puts on the clipboard: a wave file named by path, rendered on request.
class WaveMimeData : public QMimeData {
 public:
  explicit WaveMimeData(std::string path) : m_path(std::move(path)) {}

  const std::string& Path() const { return m_path; }

  // The types offered, the preferred first.
  static QStringList WaveTypes();

  QStringList formats() const override { return WaveTypes(); }
  bool hasFormat(const QString& mimeType) const override;

 protected:
  // The file's bytes; empty when the file cannot be read whole.
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

 private:
  std::string m_path;
};

class WaveClipboard {
 public:
  // tempFolder: where the clipboard's wave files go, asked at each copy and paste (the
  // setting may change while the program runs).
  WaveClipboard(Prompts& prompts, std::function<std::string()> tempFolder);
  // Takes our wave off the platform clipboard (nobody could read it afterwards) and deletes
  // the clipboard file.
  ~WaveClipboard();
  WaveClipboard(const WaveClipboard&) = delete;
  WaveClipboard& operator=(const WaveClipboard&) = delete;

  // Copies the data bytes [from, to) of sourceFile into a new clipboard file and announces it
  // on the platform clipboard; the previous clipboard file is deleted. to = 0: the end of the
  // data. True when done; a failure is reported and leaves the clipboard as it was.
  bool Copy(const std::string& sourceFile, uint64_t from, uint64_t to);

  // True when the platform clipboard holds a wave: ours, or one another program offers.
  bool HasWave() const;

  // The wave file to paste from: ours while the clipboard still holds it; otherwise the
  // other program's wave, saved whole into a new clipboard file and checked to be a PCM wave
  // file this program reads. Empty, after a message, when there is nothing to paste.
  std::string FetchWave();

  // The current clipboard file (empty at start).
  const std::string& ClipboardWaveFile() const { return m_path; }

 private:
  bool HoldsOurs() const;
  // Makes the new clipboard file, deleting the previous one.
  void Replace(const std::string& path);
  // Writes the other program's bytes into a new temporary file: its path, or empty after a
  // message.
  std::string SaveForeignWave(const QByteArray& bytes);

  Prompts& m_prompts;
  std::function<std::string()> m_tempFolder;
  std::string m_path;
  QPointer<WaveMimeData> m_offered;  // ours on the clipboard; Qt deletes it when replaced
};

}  // namespace ztlive
