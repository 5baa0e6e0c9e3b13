// Checks made on the files of a run or a conversion before anything is written: is the output
// the input by another spelling, can the output be made where it is named, and can the input
// be processed at all (and if not, why not, in words that name the file).
#pragma once

#include <string>

namespace ztlive {

// True when both names lead to one file (links followed, hard links and "./", "../" spellings
// included), compared by device and inode. A name that does not exist is no file of the other.
bool SameFile(const std::string& a, const std::string& b);

// Why a wave file cannot be written at path, or empty when nothing stands in the way yet:
// a peak-file name, a folder or another non-file at path, a missing or unwritable folder.
std::string DescribeOutputProblem(const std::string& path);

// Why path cannot be processed, or empty when it is a PCM wave file the filters read (8, 16,
// 20 or 24 bits, mono or stereo): missing, a folder, MP3, FLAC, floating point, 32-bit
// integer, not a wave file, or a wave file of another kind.
std::string DescribeInputProblem(const std::string& path);

}  // namespace ztlive
