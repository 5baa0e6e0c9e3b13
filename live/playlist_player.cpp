#include "live/playlist_player.h"

namespace ztlive {

namespace {
constexpr int kEngineRecording = 183;
constexpr int kEngineRecordingAndPlaying = 237;
}  // namespace

PlaylistPlayer::~PlaylistPlayer() {
  m_entryStarted = nullptr;  // the owner is going: nothing is told any more
  m_listEnded = nullptr;
  if (m_awaitingEnd) Stop();
}

int PlaylistPlayer::PlayFile(const std::string& path) {
  m_run.stopRequested.store(0);  // a stop left by an earlier playback must not end this one
  const int result = m_engine.PlayFileRegion(path, 0, 0);
  m_awaitingEnd = result == 0;
  return result;
}

int PlaylistPlayer::Audition(const std::string& path) {
  m_position = -1;
  return PlayFile(path);
}

void PlaylistPlayer::Stop() {
  const bool wasListPlaying = ListPlaying();
  m_position = -1;
  m_awaitingEnd = false;
  if (m_engine.OutputOpen()) {
    const bool recording = m_run.engineState == kEngineRecordingAndPlaying;
    m_run.stopRequested.store(1);
    m_engine.CloseOutput();
    // Closing the output leaves the engine idle; a recording that was running goes on.
    if (recording) m_run.engineState = kEngineRecording;
  }
  if (wasListPlaying && m_listEnded) m_listEnded();
}

void PlaylistPlayer::StartList(int first) {
  if (m_list.Count() == 0) return;
  m_position = first < 0 || first >= m_list.Count() ? 0 : first;
  PlayNext();
}

void PlaylistPlayer::Poll() {
  if (!m_awaitingEnd) return;
  if (!m_engine.CheckOutput()) {  // the sound card stopped: the list ends, and the engine said why
    m_awaitingEnd = false;
    EndList();
    return;
  }
  if (m_engine.OutputOpen()) return;
  m_awaitingEnd = false;
  if (ListPlaying()) PlayNext();
}

void PlaylistPlayer::PlayNext() {
  if (m_position < 0) return;
  if (m_position >= m_list.Count()) {
    EndList();
    return;
  }
  const int index = m_position++;
  if (PlayFile(m_list.Entries()[static_cast<size_t>(index)].path) != 0) {
    EndList();
    return;
  }
  if (m_entryStarted) m_entryStarted(index);
}

void PlaylistPlayer::EndList() {
  m_position = -1;
  if (m_listEnded) m_listEnded();
}

}  // namespace ztlive
