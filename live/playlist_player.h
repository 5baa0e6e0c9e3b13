// Plays a playlist's files one after another through the device engine, or one file alone
// (an audition). Each file plays with PlayFileRegion; when its output device closes, at the
// end of the file, the next one starts. The engine reports the end through its message
// queue, so the owner calls Poll after dispatching messages (a timer of the window, the
// command line's loop) and the player notices the closed device there.
#pragma once

#include <functional>
#include <string>

#include "core/device_engine.h"
#include "core/run_state.h"
#include "live/playlist.h"

namespace ztlive {

class PlaylistPlayer {
 public:
  PlaylistPlayer(DeviceEngine& engine, RunState& run, const Playlist& list) : m_engine(engine), m_run(run), m_list(list) {}
  ~PlaylistPlayer();
  PlaylistPlayer(const PlaylistPlayer&) = delete;
  PlaylistPlayer& operator=(const PlaylistPlayer&) = delete;

  // Told when an entry of the list starts playing, and when the list has ended (played
  // through, stopped, or a file that could not be played).
  void SetEntryStarted(std::function<void(int index)> handler) { m_entryStarted = std::move(handler); }
  void SetListEnded(std::function<void()> handler) { m_listEnded = std::move(handler); }

  // Audio plays on the output device (ours or anyone's).
  bool AudioPlaying() const { return m_engine.OutputOpen(); }
  // Plays one file from its start to its end: 0, or the engine's error (already shown).
  int Audition(const std::string& path);
  // Stops whatever plays; a list playing ends.
  void Stop();

  // Plays the list from the entry first on (the first entry when first is below 0).
  void StartList(int first);
  bool ListPlaying() const { return m_position >= 0; }
  // The entry that plays next (-1 while no list plays).
  int Position() const { return m_position; }
  // Starts the next entry when the file that played has ended.
  void Poll();

 private:
  // Plays the entry at the position and advances it; ends the list past the last entry or
  // when the entry cannot be played.
  void PlayNext();
  int PlayFile(const std::string& path);
  void EndList();

  DeviceEngine& m_engine;
  RunState& m_run;
  const Playlist& m_list;
  int m_position = -1;
  bool m_awaitingEnd = false;  // a file of ours plays: its closing output starts the next
  std::function<void(int)> m_entryStarted;
  std::function<void()> m_listEnded;
};

}  // namespace ztlive
