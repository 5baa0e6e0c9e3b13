// The files of a batch and what becomes of each: --jobs and --shard, the list with playlists
// in it expanded, the share of one shard, and output names in a destination directory that
// follow from the list alone (so that every shard and every resumed run agrees on them).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ztlive::cli {

// --shard K/N: the K-th (1 ... N) of N shares.
struct Shard {
  int index = 1;
  int count = 1;
};

// "K/N" with 1 <= K <= N; nothing for anything else.
std::optional<Shard> ParseShard(const std::string& text);
// A whole number from 1 to maxJobs; nothing for anything else.
std::optional<int> ParseJobs(const std::string& text, int maxJobs);
// The share of the list's entry at listIndex: entry i belongs to shard (i mod N) + 1, so the
// shares are disjoint, together the whole list, and the same wherever they are computed.
inline bool InShard(size_t listIndex, const Shard& shard) {
  return listIndex % static_cast<size_t>(shard.count) == static_cast<size_t>(shard.index - 1);
}
// The number of processors this process may run on (at least 1).
int AvailableCores();

// The files in order, each playlist (.wls) replaced by its entries; false with error set to
// the message when a playlist cannot be read.
bool ExpandPlaylists(const std::vector<std::string>& given, std::vector<std::string>& files, std::string& error);

// The results of sources in directory (one trailing slash dropped): the source's file name,
// or, when an earlier source of the list has that name or the name is one of the sources
// itself by any spelling, the next numbered name (song.wav -> song1.wav, take3.wav ->
// take4.wav) free among them. Files already in the directory do not change the names, so a
// resumed run or another shard finds the same ones. Empty where no number up to 999 is free.
std::vector<std::string> DirectoryOutputNames(const std::vector<std::string>& sources, const std::string& directory);

}  // namespace ztlive::cli
