#include "cli/playlist_command.h"

#include "cli/command_player.h"
#include "cli/interrupts.h"
#include "core/device_engine.h"
#include "live/playlist.h"
#include "live/playlist_player.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

constexpr std::string_view kArguments = "new FILE.wls [WAV...] | add FILE.wls WAV... | list FILE.wls | play FILE.wls";

int Usage(CommandContext& context) {
  PrintError(context, FormatText(StringId::kCliWrongArguments, {"ztlive-cli playlist " + std::string(kArguments)}));
  return kExitUsage;
}

void PrintLine(CommandContext& context, const std::string& line) { std::fprintf(context.out, "%s\n", line.c_str()); }

// Adds the files in order; the first that cannot be added ends the adding and nothing is saved.
int AddAndSave(Playlist& list, const std::string& path, const std::vector<std::string>& waves, CommandContext& context) {
  for (const std::string& wave : waves) {
    if (!list.AddEntry(wave)) {
      PrintError(context, FormatText(StringId::kCliPlaylistNotSaved, {path}));
      return kExitFailure;
    }
  }
  if (!list.Save(path)) {
    PrintError(context, FormatText(StringId::kCliPlaylistNotSaved, {path}));
    return kExitFailure;
  }
  PrintLine(context, FormatText(StringId::kCliPlaylistSaved, {path, std::to_string(list.Count()), list.TotalText()}));
  return kExitOk;
}

int RunNew(const std::string& path, const std::vector<std::string>& waves, CommandContext& context) {
  Playlist list(context.prompts);
  if (FileExists(path) &&
      context.prompts.Ask(FormatText(StringId::kRunOverwrite, {path}), StringText(StringId::kCaptionFileExists),
                          PromptButtons::YesNo, PromptIcon::Question) != PromptAnswer::Yes) {
    PrintError(context, FormatText(StringId::kCliPlaylistNotSaved, {path}));
    return kExitFailure;
  }
  return AddAndSave(list, path, waves, context);
}

// Reads an existing list; false (after its message) when there is none to use.
bool OpenExisting(Playlist& list, const std::string& path, CommandContext& context) {
  switch (list.Open(path)) {
    case Playlist::OpenResult::Opened:
      return true;
    case Playlist::OpenResult::Missing:
      PrintError(context, FormatText(StringId::kCliPlaylistMissingFile, {path}));
      return false;
    default:
      return false;
  }
}

int RunAdd(const std::string& path, const std::vector<std::string>& waves, CommandContext& context) {
  Playlist list(context.prompts);
  // A missing list is made, as the editor makes it; a damaged one is left as it is.
  const Playlist::OpenResult opened = list.Open(path);
  if (opened != Playlist::OpenResult::Opened && opened != Playlist::OpenResult::Missing) {
    PrintError(context, FormatText(StringId::kCliPlaylistNotSaved, {path}));
    return kExitFailure;
  }
  return AddAndSave(list, path, waves, context);
}

int RunList(const std::string& path, CommandContext& context) {
  Playlist list(context.prompts);
  if (!OpenExisting(list, path, context)) return kExitFailure;
  for (size_t i = 0; i < list.Entries().size(); ++i) {
    const PlaylistEntry& entry = list.Entries()[i];
    const StringId line = entry.available ? StringId::kCliPlaylistEntry : StringId::kCliPlaylistMissing;
    PrintLine(context, FormatText(line, {std::to_string(i + 1), PlayingTimeText(entry.ShownMs()), entry.path}));
  }
  PrintLine(context, FormatText(StringId::kCliPlaylistTotal, {list.TotalText(), std::to_string(list.Count())}));
  return kExitOk;
}

int RunPlayList(const std::string& path, CommandContext& context) {
  Playlist list(context.prompts);
  if (!OpenExisting(list, path, context)) return kExitFailure;
  if (list.Count() == 0) {
    PrintError(context, FormatText(StringId::kCliPlaylistEmpty, {path}));
    return kExitFailure;
  }
  const std::unique_ptr<CommandPlayer> devices = CommandPlayer::Open(context.prompts);
  if (devices == nullptr) return kExitFailure;
  MessageQueue& queue = devices->Queue();
  PlaylistPlayer player(devices->Engine(), devices->Run(), list);
  int played = 0;
  player.SetEntryStarted([&](int index) {
    ++played;
    const std::string number = std::to_string(index + 1);
    PrintLine(context, FormatText(StringId::kCliPlaylistPlaying,
                                  {number, std::to_string(list.Count()), list.Entries()[static_cast<size_t>(index)].path}));
    std::fflush(context.out);
  });

  const InterruptGuard interrupts;
  player.StartList(0);
  while (player.ListPlaying() && !InterruptGuard::Interrupted()) {
    queue.DispatchOne(50);
    player.Poll();
  }
  if (InterruptGuard::Interrupted()) {
    player.Stop();
    PrintError(context, StringText(StringId::kCliPlaylistStopped));
    return kExitOk;
  }
  // Every entry started, or one could not be played or the sound card stopped (its message
  // was shown).
  return played == list.Count() && !devices->Engine().OutputLost() ? kExitOk : kExitFailure;
}

int RunPlaylist(const std::vector<std::string>& args, CommandContext& context) {
  const ParsedArguments parsed = ParseArguments(args, {}, "playlist");
  if (!parsed.error.empty()) {
    PrintError(context, parsed.error);
    return kExitUsage;
  }
  const std::vector<std::string>& words = parsed.positional;
  if (words.size() < 2) return Usage(context);
  const std::string& action = words[0];
  const std::string& path = words[1];
  const std::vector<std::string> waves(words.begin() + 2, words.end());
  if (action == "new") return RunNew(path, waves, context);
  if (action == "add" && !waves.empty()) return RunAdd(path, waves, context);
  if (action == "list" && waves.empty()) return RunList(path, context);
  if (action == "play" && waves.empty()) return RunPlayList(path, context);
  return Usage(context);
}

}  // namespace

const Command kPlaylistCommand{"playlist", kArguments,
                               "makes a playlist of wave files, adds files to one, lists one with its files' "
                               "playing times and the total, or plays one file after another (Ctrl+C stops)",
                               RunPlaylist};

}  // namespace ztlive::cli
