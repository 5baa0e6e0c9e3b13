#include "document/destination_files.h"

#include <sys/stat.h>

#include <functional>
#include <optional>
#include <vector>

#include "core/peak_file.h"
#include "core/sample_codec.h"
#include "core/temp_files.h"
#include "core/wave_stream.h"
#include "document/file_checks.h"
#include "document/staged_output.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr size_t kPieceSamples = 4096;

void DeleteWithPeaks(const std::string& path) {
  DeleteFile(path);
  DeleteFile(PeakFile::PeakFileName(path));
}

// Confirms replacing an existing file; false when declined. The file itself is replaced by
// the move that follows (a rename), so a failed move leaves it as it was; its peak file, which
// would describe other audio, goes now.
bool ReplaceExisting(const std::string& path, const std::string& question, Prompts& prompts) {
  if (!FileExists(path)) return true;
  if (prompts.Ask(question, std::string(StringText(StringId::kCaptionFileReplace)), PromptButtons::YesNo,
                  PromptIcon::Question) != PromptAnswer::Yes)
    return false;
  DeleteFile(PeakFile::PeakFileName(path));
  return true;
}

}  // namespace

namespace {

// ConvertBits into writePath; messages name shownPath.
int ConvertBitsInto(const std::string& source, const std::string& writePath, const std::string& shownPath,
                    int bitsPerSample, RunState& run, Prompts& prompts) {
  WaveStream in(4096, 0, run);
  if (in.Open(source, kOpenRead) != kStreamOk) {
    prompts.Show(std::string(StringText(StringId::kRangeReadError)), "", PromptIcon::Error);
    return 0;
  }
  const WaveFormat& from = in.Format();
  if (from.bitsPerSample == 32) {  // read unscaled: no width to convert them from
    prompts.Show(FormatText(StringId::kInputIs32Bit, {source}), "", PromptIcon::Error);
    return 0;
  }
  WaveFormat to = MakePcmFormat(from.channels, from.sampleRate, static_cast<uint16_t>(bitsPerSample));
  WaveStream out(4096, 0, run);
  const std::string failure = FormatText(StringId::kRangeWriteError, {shownPath});
  if (out.Create(writePath, to, kCreateOverwrite) != kStreamOk) {
    prompts.Show(failure, "", PromptIcon::Error);
    return 0;
  }
  const int fromBytes = in.BytesPerSample();
  const int toBytes = BytesPerSample(bitsPerSample);
  std::vector<uint8_t> piece(kPieceSamples * static_cast<size_t>(fromBytes));
  std::vector<SampleValue> values(kPieceSamples);
  std::vector<uint8_t> packed(kPieceSamples * static_cast<size_t>(toBytes));
  in.SeekData(0, 0);
  out.SeekData(0, 0);
  for (;;) {
    const int64_t got = in.ReadRaw(piece.data(), piece.size());
    if (got < 0) {
      prompts.Show(std::string(StringText(StringId::kRangeReadError)), "", PromptIcon::Error);
      return 0;
    }
    if (got == 0) break;
    const size_t count = static_cast<size_t>(got) / static_cast<size_t>(fromBytes);
    UnpackSamples(piece.data(), count, fromBytes, values.data());
    if (bitsPerSample == 20)
      for (size_t i = 0; i < count; ++i) values[i] &= ~SampleValue{0xF};
    PackSamples(values.data(), count, toBytes, packed.data());
    if (!out.WriteRaw(packed.data(), count * static_cast<size_t>(toBytes))) {
      prompts.Show(failure, "", PromptIcon::Error);
      return 0;
    }
  }
  if (out.CloseChunks(kFlagDirty) != 0) {
    prompts.Show(failure, "", PromptIcon::Error);
    return 0;
  }
  return 1;
}

// Writes path whole or not at all: `write` fills the staged name, then it replaces path. False
// after the message of whatever stood in the way.
bool WriteWhole(const std::string& path, Prompts& prompts, const std::function<bool(const std::string&)>& write) {
  std::string problem;
  std::optional<StagedOutput> staged = StagedOutput::Begin(path, false, problem);
  if (!staged) {
    prompts.Show(problem, std::string(StringText(StringId::kCaptionFileError)), PromptIcon::Error);
    return false;
  }
  if (!write(staged->WritePath())) return false;  // the staged file is removed with it
  if (const std::string failure = staged->Commit(); !failure.empty()) {
    prompts.Show(failure, std::string(StringText(StringId::kCaptionFileError)), PromptIcon::Error);
    return false;
  }
  return true;
}

}  // namespace

int ConvertBits(const std::string& source, const std::string& path, int bitsPerSample, RunState& run, Prompts& prompts) {
  if (SameFile(source, path)) {
    prompts.Show(FormatText(StringId::kOutputIsInput, {path, source}), "", PromptIcon::Error);
    return 0;
  }
  return WriteWhole(path, prompts, [&](const std::string& staged) {
           return ConvertBitsInto(source, staged, path, bitsPerSample, run, prompts) != 0;
         })
             ? 1
             : 0;
}

std::string SuggestDestinationName(const CZantoDoc& document) { return MakeNumberedName(document.SourceName(), 1); }

int SaveDestinationAs(CZantoDoc& document, const std::string& path, int bitsPerSample, RunState& run) {
  Prompts& prompts = document.GetPrompts();
  const std::string destination = document.DestinationName();
  if (destination.empty()) return 0;
  if (path == document.SourceName() || SameFile(path, document.SourceName())) {
    prompts.Show(std::string(StringText(StringId::kSaveSameAsSource)), "", PromptIcon::Error);
    return 0;
  }
  WaveStream probe(64, 0, run);
  const int currentBits = probe.Open(destination, kOpenRead) == kStreamOk ? probe.Format().bitsPerSample : 0;
  probe.Close();
  const bool converting = currentBits != 0 && bitsPerSample != 0 && bitsPerSample != currentBits;
  if (path == destination || SameFile(path, destination)) {
    if (!converting) return 1;  // already saved there
    prompts.Show(FormatText(StringId::kOutputIsInput, {path, destination}), "", PromptIcon::Error);
    return 0;
  }
  // The file there is replaced only once the new one is complete.
  if (FileExists(path) &&
      prompts.Ask(FormatText(StringId::kSaveReplaceQuestion, {path}), std::string(StringText(StringId::kCaptionFileReplace)),
                  PromptButtons::YesNo, PromptIcon::Question) != PromptAnswer::Yes)
    return 0;
  const bool written = WriteWhole(path, prompts, [&](const std::string& staged) {
    if (converting) return ConvertBitsInto(destination, staged, path, bitsPerSample, run, prompts) != 0;
    if (const int error = CopyFile(destination, staged, false); error != 0) {
      prompts.Show(SystemErrorText(error), std::string(StringText(StringId::kCaptionFileError)), PromptIcon::Error);
      return false;
    }
    return true;
  });
  if (!written) return 0;
  // The replaced file's peak file described other audio.
  DeleteFile(PeakFile::PeakFileName(path));
  if (!converting) CopyFile(PeakFile::PeakFileName(destination), PeakFile::PeakFileName(path), false);
  if (document.DestinationIsTemporary()) DeleteWithPeaks(destination);
  document.SetDestinationName(path, false);
  return 1;
}

std::string MakeDestinationTheSource(CZantoDoc& document, const std::string& path) {
  Prompts& prompts = document.GetPrompts();
  const std::string destination = document.DestinationName();
  if (destination.empty()) return {};
  if (!document.DestinationIsTemporary()) {
    document.ClearDestination();
    return destination;
  }
  if (path.empty() || path == document.SourceName()) {
    if (path == document.SourceName())
      prompts.Show(std::string(StringText(StringId::kSaveSameAsSource)), "", PromptIcon::Error);
    return {};
  }
  if (!ReplaceExisting(path, FormatText(StringId::kMoveReplaceQuestion, {path}), prompts)) return {};
  if (const int error = MoveFile(destination, path, false); error != 0) {
    prompts.Show(SystemErrorText(error), std::string(StringText(StringId::kCaptionFileMoveError)), PromptIcon::Error);
    return {};
  }
  MoveFile(PeakFile::PeakFileName(destination), PeakFile::PeakFileName(path), false);
  document.Settings().Write(setting::kLastPath, path);
  document.ClearDestination();
  return path;
}

void DiscardDestination(CZantoDoc& document) {
  if (document.DestinationName().empty()) return;
  if (document.DestinationIsTemporary()) DeleteTempFile(document.DestinationName());
  document.ClearDestination();
}

int SaveTemporarySource(CZantoDoc& document, const std::string& path) {
  Prompts& prompts = document.GetPrompts();
  const std::string source = document.SourceName();
  if (!document.SourceIsTemporary() || path.empty()) return 0;
  if (SameFile(path, source)) return 0;
  if (!document.DestinationName().empty() && SameFile(path, document.DestinationName())) {
    prompts.Show(std::string(StringText(StringId::kSaveSameAsSource)), "", PromptIcon::Error);
    return 0;
  }
  if (!ReplaceExisting(path, FormatText(StringId::kMoveReplaceQuestion, {path}), prompts)) return 0;
  if (const int error = MoveFile(source, path, false); error != 0) {
    prompts.Show(SystemErrorText(error), std::string(StringText(StringId::kCaptionFileMoveError)), PromptIcon::Error);
    return 0;
  }
  MoveFile(PeakFile::PeakFileName(source), PeakFile::PeakFileName(path), false);
  document.Settings().Write(setting::kLastPath, path);
  document.SetSourceName(path);
  document.SetSourceIsTemporary(false);
  return 1;
}

void DeleteTemporaryFiles(CZantoDoc& document) {
  if (document.DestinationIsTemporary()) {
    DeleteTempFile(document.DestinationName());
    document.ClearDestination();
  }
  if (document.SourceIsTemporary()) {
    DeleteTempFile(document.SourceName());
    document.SetSourceIsTemporary(false);
  }
}

}  // namespace ztlive
