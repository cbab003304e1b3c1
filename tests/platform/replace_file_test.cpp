#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "scratch_dir.h"

namespace kadrel {
namespace {

TEST(ReplaceFile, CreatesAndReplacesLeavingNoTemporaryBehind) {
    testing::ScratchDir scratch;
    ASSERT_TRUE(platform::replaceFile("bank", "first", 5));
    EXPECT_EQ(scratch.read("bank"), "first");
    ASSERT_TRUE(platform::replaceFile("bank", "2nd", 3));
    EXPECT_EQ(scratch.read("bank"), "2nd");
    ASSERT_TRUE(platform::replaceFile("bank", "", 0));
    EXPECT_EQ(scratch.read("bank"), "");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(scratch.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(ReplaceFile, FailureLeavesTheOldFile) {
    testing::ScratchDir scratch;
    scratch.write("bank", "old");
    EXPECT_FALSE(platform::replaceFile("missing-dir/bank", "new", 3));
    EXPECT_EQ(scratch.read("bank"), "old");
}

TEST(RenameNoReplace, NeverOverwrites) {
    testing::ScratchDir scratch;
    scratch.write("a", "A");
    scratch.write("b", "B");
    EXPECT_FALSE(platform::renameNoReplace("a", "b"));
    EXPECT_EQ(scratch.read("b"), "B");
    EXPECT_TRUE(platform::renameNoReplace("a", "c"));
    EXPECT_FALSE(scratch.exists("a"));
    EXPECT_EQ(scratch.read("c"), "A");
}

}  // namespace
}  // namespace kadrel
