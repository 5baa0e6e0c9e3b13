// Playing a playlist on the deterministic sound card: the files follow each other byte for
// byte, from the chosen entry on; a file that cannot be played ends the list after its
// message. (Stopping and auditioning are checked through the editor's buttons.)
#include "live/playlist_player.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_queue.h"
#include "platform/scripted_prompts.h"
#include "platform/virtual_sound_card.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

class PlaylistPlayerTest : public ::testing::Test {
 protected:
  // A distinct pattern per file, so that the played bytes tell the files apart.
  std::vector<uint8_t> AddFile(const std::string& name, size_t frames, uint8_t seed) {
    std::vector<uint8_t> data(frames * 4);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(seed + i * 13 + i / 97);
    test::WriteBytes(folder.File(name), test::WaveBytes().Format(1, 2, 44100, 16).Data(data).Build());
    EXPECT_TRUE(list.AddEntry(folder.File(name)));
    return data;
  }

  // Runs the card, the queue and the player until the list has ended.
  void RunUntilTheListEnds() {
    for (int i = 0; i < 100000 && (player.ListPlaying() || engine.OutputOpen()); ++i) {
      card.Advance(1000);
      queue.DispatchPending();
      player.Poll();
    }
  }

  static std::vector<uint8_t> Joined(std::initializer_list<const std::vector<uint8_t>*> parts) {
    std::vector<uint8_t> all;
    for (const std::vector<uint8_t>* part : parts) all.insert(all.end(), part->begin(), part->end());
    return all;
  }

  test::TestFolder folder;
  VirtualSoundCard card;
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  WaveStream playStream{4096, 4096, run};
  WaveStream recordStream{4096, 4096, run};
  DeviceEngine engine{card, queue, prompts, run, playStream, recordStream, {}};
  Playlist list{prompts};
  PlaylistPlayer player{engine, run, list};
};

TEST_F(PlaylistPlayerTest, TheEntriesPlayOneAfterAnotherFromTheChosenOne) {
  const std::vector<uint8_t> a = AddFile("a.wav", 70000, 1);
  const std::vector<uint8_t> b = AddFile("b.wav", 3000, 2);  // shorter than one play buffer
  const std::vector<uint8_t> c = AddFile("c.wav", 250000, 3);
  struct Case {
    int first;
    std::vector<int> started;
    std::vector<uint8_t> played;
  };
  const Case cases[] = {
      {-1, {0, 1, 2}, Joined({&a, &b, &c})},
      {1, {1, 2}, Joined({&b, &c})},
      {2, {2}, c},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.first);
    std::vector<int> started;
    int ended = 0;
    player.SetEntryStarted([&](int index) { started.push_back(index); });
    player.SetListEnded([&] { ++ended; });
    const size_t before = card.Played().size();
    player.StartList(test.first);
    EXPECT_TRUE(player.ListPlaying());
    RunUntilTheListEnds();
    EXPECT_FALSE(player.ListPlaying());
    EXPECT_EQ(player.Position(), -1);
    EXPECT_EQ(started, test.started);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(std::vector<uint8_t>(card.Played().begin() + static_cast<ptrdiff_t>(before), card.Played().end()) ==
                test.played)
        << "every file whole, in list order";
  }
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(PlaylistPlayerTest, AFileThatCannotBePlayedEndsTheListAfterItsMessage) {
  const std::vector<uint8_t> a = AddFile("a.wav", 20000, 1);
  AddFile("gone.wav", 20000, 2);
  AddFile("c.wav", 20000, 3);
  std::remove(folder.File("gone.wav").c_str());
  int ended = 0;
  player.SetListEnded([&] { ++ended; });
  player.StartList(0);
  RunUntilTheListEnds();
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(card.Played(), a);
  ASSERT_EQ(prompts.Entries().size(), 1u);
  EXPECT_EQ(prompts.Entries()[0].caption, "File Error");
}

}  // namespace
}  // namespace ztlive
