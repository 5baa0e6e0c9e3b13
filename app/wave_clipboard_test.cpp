// The audio clipboard within one process (offscreen platform): what a copy offers, what a
// paste takes from another program's wave, and what is refused.
#include "app/wave_clipboard.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>

#include "core/wave_ranges.h"
#include "platform/file_ops.h"
#include "platform/scripted_prompts.h"
#include "platform/string_table.h"
#include "testing/same_bytes.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::ReadBytes;
using test::WaveBytes;

std::vector<uint8_t> Ramp(size_t count, int step) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(static_cast<int>(i) * step - 20000);
  return test::Samples16(samples);
}

std::vector<uint8_t> Bytes(const QByteArray& array) { return {array.begin(), array.end()}; }

QByteArray Array(const std::vector<uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// Every name in the folder, sorted.
std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(listing);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void OfferForeign(const QString& type, const std::vector<uint8_t>& bytes) {
  auto* data = new QMimeData;
  data->setData(type, Array(bytes));
  QGuiApplication::clipboard()->setMimeData(data);
}

class WaveClipboardTest : public testing::Test {
 protected:
  void SetUp() override { QGuiApplication::clipboard()->clear(); }
  void TearDown() override { QGuiApplication::clipboard()->clear(); }

  test::TestFolder m_sources;
  test::TestFolder m_temp;
  std::string m_folder = m_temp.Path();  // the temporary folder the clipboard is given
  ScriptedPrompts m_prompts;
  WaveClipboard m_clipboard{m_prompts, [this] { return m_folder; }};
};

TEST_F(WaveClipboardTest, CopyOffersTheRangeAsAWaveRenderedFromItsFile) {
  const std::vector<uint8_t> samples = Ramp(2 * 3000, 7);  // stereo 16-bit: 4 bytes a frame
  const std::string source = m_sources.File("source.wav");
  test::WriteBytes(source, WaveBytes().Format(1, 2, 44100, 16).Data(samples).Build());

  struct Case {
    const char* name;
    uint64_t from, to;
    size_t expectedFrom, expectedTo;  // the bytes of the data that must be offered
  };
  const Case cases[] = {
      {"whole file (to 0)", 0, 0, 0, samples.size()},
      {"middle", 400, 8000, 400, 8000},
      {"unaligned ends round down to frames", 402, 8003, 400, 8000},
      {"to the last frame", 4000, samples.size(), 4000, samples.size()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(m_clipboard.Copy(source, c.from, c.to));
    const std::vector<uint8_t> expected =
        WaveBytes()
            .Format(1, 2, 44100, 16)
            .Data({samples.begin() + static_cast<long>(c.expectedFrom), samples.begin() + static_cast<long>(c.expectedTo)})
            .Build();
    EXPECT_TRUE(m_clipboard.HasWave());
    const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(offered, nullptr);
    EXPECT_TRUE(offered->hasFormat("audio/wav"));
    EXPECT_TRUE(test::SameBytes(Bytes(offered->data("audio/wav")), expected));
    EXPECT_TRUE(test::SameBytes(Bytes(offered->data("audio/x-wav")), expected));
    EXPECT_TRUE(test::SameBytes(ReadBytes(m_clipboard.ClipboardWaveFile()), expected));
    // Still ours: the paste works from the file itself.
    EXPECT_EQ(m_clipboard.FetchWave(), m_clipboard.ClipboardWaveFile());
  }
  // Each copy replaced the file before it: one wave file, and nothing half-made, is left.
  const std::vector<std::string> left = Listing(m_temp.Path());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(m_temp.File(left[0]), m_clipboard.ClipboardWaveFile());
  EXPECT_TRUE(m_prompts.Texts().empty());
}

TEST_F(WaveClipboardTest, TheOfferIsReadWhenAskedNotWhenCopied) {
  const std::string source = m_sources.File("source.wav");
  test::WriteBytes(source, WaveBytes().Format(1, 1, 8000, 16).Data(Ramp(100, 3)).Build());
  ASSERT_TRUE(m_clipboard.Copy(source, 0, 0));
  // The offer holds a name, not bytes: a file that is gone renders nothing rather than a
  // part, and a paste of it says so.
  unlink(m_clipboard.ClipboardWaveFile().c_str());
  EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->data("audio/wav").isEmpty());
  EXPECT_EQ(m_clipboard.FetchWave(), "");
  EXPECT_EQ(m_prompts.Texts(),
            std::vector<std::string>{FormatText(StringId::kClipboardFileGone, {m_clipboard.ClipboardWaveFile()})});
}

TEST_F(WaveClipboardTest, AFailedCopyReportsAndKeepsTheEarlierClip) {
  const std::vector<uint8_t> first = WaveBytes().Format(1, 1, 8000, 16).Data(Ramp(50, 11)).Build();
  const std::string source = m_sources.File("source.wav");
  test::WriteBytes(source, first);
  ASSERT_TRUE(m_clipboard.Copy(source, 0, 0));
  const std::string kept = m_clipboard.ClipboardWaveFile();

  struct Case {
    const char* name;
    std::string source;
    uint64_t from, to;
    std::string folder;
  };
  const Case cases[] = {
      {"missing source", m_sources.File("missing.wav"), 0, 0, m_temp.Path()},
      {"not a wave", m_sources.File("text.wav"), 0, 0, m_temp.Path()},
      {"range beyond the data", source, 0, 1000, m_temp.Path()},
      {"temporary folder gone", source, 0, 0, m_temp.File("gone")},
  };
  test::WriteFileText(m_sources.File("text.wav"), "just some words, no RIFF here");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_prompts.Clear();
    m_folder = c.folder;
    EXPECT_FALSE(m_clipboard.Copy(c.source, c.from, c.to));
    ASSERT_FALSE(m_prompts.Texts().empty());
    EXPECT_EQ(m_prompts.Texts().back(), StringText(StringId::kClipboardCopyFailed));
    EXPECT_EQ(m_clipboard.ClipboardWaveFile(), kept);
    EXPECT_TRUE(test::SameBytes(Bytes(QGuiApplication::clipboard()->mimeData()->data("audio/wav")), first));
    EXPECT_EQ(Listing(m_temp.Path()).size(), 1u);  // no half-made copy left beside it
  }
}

TEST_F(WaveClipboardTest, AnotherProgramsWaveIsSavedWholeAndChecked) {
  const std::vector<uint8_t> mono = Ramp(500, 5);
  std::vector<uint8_t> bytes24(3 * 2 * 40);
  for (size_t i = 0; i < bytes24.size(); ++i) bytes24[i] = static_cast<uint8_t>(i * 37);

  struct Case {
    const char* name;
    QString type;
    std::vector<uint8_t> offered;
    uint64_t dataBytes;  // 0: refused
    StringId refusal;
  };
  const Case cases[] = {
      {"16-bit mono as audio/wav", "audio/wav", WaveBytes().Format(1, 1, 22050, 16).Data(mono).Build(), mono.size(),
       {}},
      {"audio/x-wav", "audio/x-wav", WaveBytes().Format(1, 1, 22050, 16).Data(mono).Build(), mono.size(), {}},
      {"24-bit stereo extensible", "audio/wav", WaveBytes().Extensible(2, 48000, 24, 24).Data(bytes24).Build(),
       bytes24.size(), {}},
      {"data size claims more than is there", "audio/wav",
       WaveBytes().Format(1, 1, 22050, 16).Data(mono, 0x7FFFFFF0).Build(0x7FFFFFF8), mono.size(), {}},
      {"text", "audio/wav", {'h', 'e', 'l', 'l', 'o'}, 0, StringId::kClipboardNotPcmWave},
      {"cut-off header", "audio/wav", [&] {
         std::vector<uint8_t> whole = WaveBytes().Format(1, 1, 22050, 16).Data(mono).Build();
         whole.resize(30);
         return whole;
       }(),
       0, StringId::kClipboardNotPcmWave},
      {"floating point", "audio/wav", WaveBytes().Format(3, 1, 22050, 32).Data(mono).Build(), 0,
       StringId::kClipboardNotPcmWave},
      {"32-bit integer", "audio/wav", WaveBytes().Format(1, 1, 22050, 32).Data(mono).Build(), 0,
       StringId::kClipboardNotPcmWave},
      {"three channels", "audio/wav", WaveBytes().Format(1, 3, 22050, 16).Data(mono).Build(), 0,
       StringId::kClipboardNotPcmWave},
      {"no samples", "audio/wav", WaveBytes().Format(1, 1, 22050, 16).Data({}).Build(), 0,
       StringId::kClipboardEmptyWave},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_prompts.Clear();
    OfferForeign(c.type, c.offered);
    EXPECT_TRUE(m_clipboard.HasWave());
    const std::string previous = m_clipboard.ClipboardWaveFile();
    const std::string fetched = m_clipboard.FetchWave();
    if (c.dataBytes == 0) {
      EXPECT_EQ(fetched, "");
      EXPECT_EQ(m_prompts.Texts(), std::vector<std::string>{std::string(StringText(c.refusal))});
      EXPECT_EQ(m_clipboard.ClipboardWaveFile(), previous);
    } else {
      ASSERT_NE(fetched, "");
      EXPECT_TRUE(m_prompts.Texts().empty());
      EXPECT_EQ(fetched, m_clipboard.ClipboardWaveFile());
      EXPECT_TRUE(test::SameBytes(ReadBytes(fetched), c.offered));
      WaveInfo info;
      ASSERT_EQ(ReadWaveInfo(fetched, info, m_prompts), 0);
      EXPECT_EQ(info.dataBytes, c.dataBytes);
      if (!previous.empty()) {
        EXPECT_FALSE(FileExists(previous));
      }
    }
    // Only the current clipboard file (if any) is in the folder: nothing half-made or locked.
    const std::vector<std::string> left = Listing(m_temp.Path());
    if (m_clipboard.ClipboardWaveFile().empty()) {
      EXPECT_TRUE(left.empty());
    } else {
      EXPECT_EQ(left, std::vector<std::string>{m_clipboard.ClipboardWaveFile().substr(m_temp.Path().size() + 1)});
    }
  }
}

TEST_F(WaveClipboardTest, NoWaveOnTheClipboardIsNothingToPaste) {
  QGuiApplication::clipboard()->setText(QStringLiteral("RIFF but only as text"));
  EXPECT_FALSE(m_clipboard.HasWave());
  EXPECT_EQ(m_clipboard.FetchWave(), "");
  EXPECT_EQ(m_prompts.Texts(), std::vector<std::string>{std::string(StringText(StringId::kClipboardNoWave))});
  OfferForeign("audio/wav", {});
  m_prompts.Clear();
  EXPECT_EQ(m_clipboard.FetchWave(), "");
  EXPECT_EQ(m_prompts.Texts(), std::vector<std::string>{std::string(StringText(StringId::kClipboardNoWave))});
  EXPECT_TRUE(Listing(m_temp.Path()).empty());
}

TEST_F(WaveClipboardTest, TheEndOfTheClipboardTakesItsWaveOffAndDeletesTheFile) {
  const std::string source = m_sources.File("source.wav");
  test::WriteBytes(source, WaveBytes().Format(1, 1, 8000, 16).Data(Ramp(64, 9)).Build());
  std::string file;
  {
    WaveClipboard clipboard(m_prompts, [this] { return m_temp.Path(); });
    ASSERT_TRUE(clipboard.Copy(source, 0, 0));
    file = clipboard.ClipboardWaveFile();
    ASSERT_TRUE(FileExists(file));
  }
  EXPECT_FALSE(FileExists(file));
  const QMimeData* left = QGuiApplication::clipboard()->mimeData();
  EXPECT_TRUE(left == nullptr || !left->hasFormat("audio/wav"));
  EXPECT_FALSE(m_clipboard.HasWave());
  EXPECT_TRUE(Listing(m_temp.Path()).empty());
}

}  // namespace
}  // namespace ztlive
