#include "core/file_io.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

// A file created unpublished has no name until Publish, so a writer killed before then leaves
// nothing; Publish never takes a name somebody else took meanwhile.
TEST(FileIoUnpublished, TheNameAppearsOnlyWithTheWrittenBytesAndIsNeverTakenOver) {
  test::TestFolder folder;
  const std::string path = folder.File("new.pkf");
  const std::vector<uint8_t> bytes{1, 2, 3, 4};
  {
    FileIo file;
    ASSERT_EQ(file.CreateUnpublishedFile(path), 0);
    ASSERT_TRUE(file.WriteAt(0, bytes.data(), bytes.size()));
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << "nothing is under any name before Publish";
    ASSERT_EQ(file.Publish(), 0);
    EXPECT_FALSE(file.IsUnpublished());
    EXPECT_EQ(test::ReadBytes(path), bytes);
    const uint8_t more = 5;
    ASSERT_TRUE(file.WriteAt(4, &more, 1)) << "the published file stays open for writing";
  }
  EXPECT_EQ(test::ReadBytes(path).size(), 5u);

  {
    FileIo file;
    ASSERT_EQ(file.CreateUnpublishedFile(folder.File("abandoned.pkf")), 0);
    ASSERT_TRUE(file.WriteAt(0, bytes.data(), bytes.size()));
  }
  EXPECT_FALSE(std::filesystem::exists(folder.File("abandoned.pkf"))) << "closed unpublished, it is gone";

  FileIo late;
  ASSERT_EQ(late.CreateUnpublishedFile(path), 0);
  ASSERT_TRUE(late.WriteAt(0, bytes.data(), 2));
  EXPECT_EQ(late.Publish(), EEXIST);
  EXPECT_EQ(test::ReadBytes(path).size(), 5u) << "the file that took the name first is left as it was";

  FileIo nowhere;
  EXPECT_EQ(nowhere.CreateUnpublishedFile(folder.File("missing/new.pkf")), ENOENT);
}

}  // namespace
}  // namespace ztlive
