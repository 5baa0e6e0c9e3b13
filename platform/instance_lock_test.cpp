#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "testing/test_folder.h"

namespace ztlive {
namespace {

using State = InstanceLock::State;

TEST(InstanceLock, TheFirstInstanceIsAloneAndLaterOnesShareUntilAllHaveEnded) {
  test::TestFolder folder;
  const std::string temp = folder.Path();
  EXPECT_FALSE(InstanceLockHeld(temp));
  InstanceLock first;
  EXPECT_EQ(first.Acquire(temp), State::kAlone);
  EXPECT_TRUE(InstanceLockHeld(temp));
  first.Share();
  EXPECT_EQ(first.Held(), State::kShared);

  InstanceLock second;
  EXPECT_EQ(second.Acquire(temp), State::kShared) << "a running instance keeps a later one from being alone";
  first.Release();
  EXPECT_TRUE(InstanceLockHeld(temp)) << "the second instance still holds the folder";
  second.Release();
  EXPECT_FALSE(InstanceLockHeld(temp));

  InstanceLock third;
  EXPECT_EQ(third.Acquire(temp), State::kAlone) << "once every instance has ended, the next is alone again";
}

TEST(InstanceLock, ALinkUnderTheLocksNameOrAMissingFolderGivesNoLock) {
  test::TestFolder folder;
  test::WriteFileText(folder.File("target"), "keep");
  ASSERT_EQ(symlink(folder.File("target").c_str(), folder.File(InstanceLock::kFileName).c_str()), 0);
  InstanceLock lock;
  EXPECT_EQ(lock.Acquire(folder.Path()), State::kNone);
  EXPECT_EQ(test::ReadFileText(folder.File("target")), "keep");
  EXPECT_EQ(lock.Acquire(folder.File("missing")), State::kNone);
  EXPECT_FALSE(InstanceLockHeld(folder.File("missing")));
}

}  // namespace
}  // namespace ztlive
