// The platform's file services that the bank stands on, in both halves: the
// lock that two opens of one file take in turn, reads and writes at an
// offset, what a path holds, and replacing a file in one step.
// The lock's byte lies past 2 GB, on 32-bit hosts too.
#define _FILE_OFFSET_BITS 64

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "scratch_dir.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kadrel {
namespace {

using platform::FileState;
using platform::SharedFile;

TEST(SharedFile, TheLockExcludesEveryOtherOpenOfTheFile) {
    testing::ScratchDir scratch;
    SharedFile first, second;
    ASSERT_EQ(first.open("journal"), SharedFile::Opened::Ready);
    ASSERT_EQ(second.open("journal"), SharedFile::Opened::Ready);
    ASSERT_TRUE(first.lock());
    EXPECT_FALSE(second.tryLock()) << "two opens in one process must exclude each other, as two bots do";
    EXPECT_FALSE(second.lock()) << "a holder in this process may be up this very thread: no waiting for ever";
    first.close();  // lets the lock go with the file
    EXPECT_TRUE(second.tryLock());
    EXPECT_FALSE(first.tryLock());
    second.unlock();
    ASSERT_EQ(first.open("journal"), SharedFile::Opened::Ready);
    EXPECT_TRUE(first.lock());
    first.unlock();
}

TEST(SharedFile, WritesAtAnOffsetAreSeenByEveryOpenAtOnce) {
    testing::ScratchDir scratch;
    SharedFile writer, reader;
    ASSERT_EQ(writer.open("journal"), SharedFile::Opened::Ready);
    ASSERT_EQ(reader.open("journal"), SharedFile::Opened::Ready);
    ASSERT_TRUE(writer.lock());
    ASSERT_TRUE(writer.writeAt(0, "header..", 8));
    ASSERT_TRUE(writer.writeAt(8, "record-1", 8));
    ASSERT_TRUE(writer.flush());
    writer.unlock();

    uint64_t size = 0;
    ASSERT_TRUE(reader.size(size));
    EXPECT_EQ(size, 16u);
    char bytes[9] = {};
    ASSERT_TRUE(reader.readAt(8, bytes, 8));
    EXPECT_STREQ(bytes, "record-1");
    EXPECT_FALSE(reader.readAt(12, bytes, 8)) << "a read past the end is short";

    ASSERT_TRUE(reader.truncate(8));
    ASSERT_TRUE(writer.size(size));
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(scratch.read("journal"), "header..");
}

TEST(SharedFile, OnlyARegularFileOpens) {
    testing::ScratchDir scratch;
    std::filesystem::create_directory(scratch.path() / "journal");
    SharedFile file;
    EXPECT_EQ(file.open("journal"), SharedFile::Opened::NotRegular);
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.lock()) << "a file that is not open cannot be locked, and the lock must not wait";
    EXPECT_EQ(file.open("missing-dir/journal"), SharedFile::Opened::Failed);
}

TEST(FileReader, TellsWhatLiesAtThePath) {
    testing::ScratchDir scratch;
    scratch.write("bank", "0123456789");
    std::filesystem::create_directory(scratch.path() / "folder");
    platform::FileReader missing, folder, bank;
    EXPECT_EQ(missing.open("nothing"), FileState::Missing);
    EXPECT_EQ(folder.open("folder"), FileState::NotRegular);
    ASSERT_EQ(bank.open("bank"), FileState::Regular);
    EXPECT_EQ(bank.size(), 10u);
    char bytes[7] = {};
    ASSERT_TRUE(bank.read(bytes, 6));
    EXPECT_STREQ(bytes, "012345");
    EXPECT_FALSE(bank.read(bytes, 6)) << "only four bytes are left";
}

TEST(FileReplacement, ReplacesInOneStepAndLeavesNoTemporary) {
    testing::ScratchDir scratch;
    scratch.write("bank", "old");
    {
        platform::FileReplacement replacement;
        ASSERT_EQ(replacement.begin("bank", "bank.1.2.tmp"), platform::FileReplacement::Began::Ready);
        ASSERT_TRUE(replacement.write("ne", 2));
        ASSERT_TRUE(replacement.write("w", 1));
        EXPECT_EQ(scratch.read("bank"), "old") << "replaced before commit";
        ASSERT_TRUE(replacement.commit());
    }
    EXPECT_EQ(scratch.read("bank"), "new");
    {
        platform::FileReplacement abandoned;
        ASSERT_EQ(abandoned.begin("bank", "bank.1.2.tmp"), platform::FileReplacement::Began::Ready);
        ASSERT_TRUE(abandoned.write("lost", 4));
    }
    EXPECT_EQ(scratch.read("bank"), "new");
    // replaceFile is one replacement, begun, written and committed.
    ASSERT_TRUE(platform::replaceFile("bank", "", 0));
    EXPECT_EQ(scratch.read("bank"), "");
    ASSERT_TRUE(platform::replaceFile("fresh", "first", 5));
    EXPECT_EQ(scratch.read("fresh"), "first");
#if !defined(_WIN32)
    EXPECT_EQ(std::filesystem::status(scratch.path() / "fresh").permissions(), std::filesystem::perms(0644))
        << "a new file is readable by all and writable by its owner, whatever the umask";
    std::filesystem::permissions(scratch.path() / "fresh", std::filesystem::perms(0600));
    ASSERT_TRUE(platform::replaceFile("fresh", "again", 5));
    EXPECT_EQ(std::filesystem::status(scratch.path() / "fresh").permissions(), std::filesystem::perms(0600))
        << "a replaced file keeps its mode";
#endif
    EXPECT_FALSE(platform::replaceFile("missing-dir/bank", "new", 3));
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(scratch.path())) ++files;
    EXPECT_EQ(files, 2);
}

TEST(FileReplacement, LeavesAReadOnlyFileAndADirectoryAlone) {
    testing::ScratchDir scratch;
    scratch.write("bank", "kept");
    std::filesystem::permissions(scratch.path() / "bank", std::filesystem::perms::owner_read);
    platform::FileReplacement readOnly;
    EXPECT_EQ(readOnly.begin("bank", "bank.tmp"), platform::FileReplacement::Began::ReadOnly);
    EXPECT_FALSE(readOnly.commit()) << "nothing was begun, so nothing can be reported replaced";
    std::filesystem::permissions(scratch.path() / "bank", std::filesystem::perms::owner_all);
    EXPECT_EQ(scratch.read("bank"), "kept");

    std::filesystem::create_directory(scratch.path() / "folder");
    platform::FileReplacement folder;
    EXPECT_EQ(folder.begin("folder", "folder.tmp"), platform::FileReplacement::Began::NotRegular);
}

#if !defined(_WIN32)
// The number the next open gets: the lowest one free.
int nextDescriptor() {
    const int probe = ::open("/dev/null", O_RDONLY);
    ::close(probe);
    return probe;
}

// A descriptor left open runs a long-lived bot out of them; one closed twice
// may by then belong to another file, the journal say.
TEST(FileHandles, NoneIsLeftOpenAndNoneClosedTwice) {
    testing::ScratchDir scratch;
    const int free = nextDescriptor();
    ASSERT_TRUE(platform::replaceFile("bank", "first", 5));
    EXPECT_EQ(nextDescriptor(), free) << "replaceFile";
    SharedFile journal;
    {
        platform::FileReplacement replacement;
        ASSERT_EQ(replacement.begin("bank", "bank.tmp"), platform::FileReplacement::Began::Ready);
        ASSERT_TRUE(replacement.write("2nd", 3));
        ASSERT_TRUE(replacement.commit());
        EXPECT_EQ(nextDescriptor(), free) << "FileReplacement::commit";
        ASSERT_EQ(journal.open("journal"), SharedFile::Opened::Ready);
    }
    EXPECT_TRUE(journal.writeAt(0, "a", 1)) << "a committed replacement closed the journal's descriptor";
    journal.close();
    SharedFile closed;
    ASSERT_EQ(closed.open("other"), SharedFile::Opened::Ready);
    closed.close();
    ASSERT_EQ(journal.open("journal"), SharedFile::Opened::Ready);
    closed.close();
    EXPECT_TRUE(journal.writeAt(0, "b", 1)) << "a second close closed the journal's descriptor";
}

// Wine keeps a Windows program's LockFileEx as a record lock of its server's
// process on the byte locked: the journal's lock and the sweep give way to it.
TEST(SharedFile, TheLockExcludesTheRecordLockThatWineTakes) {
    testing::ScratchDir scratch;
    scratch.write("Quorlen.bank.7.8.tmp", "x");
    SharedFile journal;
    ASSERT_EQ(journal.open("Quorlen.bank.7.8.tmp"), SharedFile::Opened::Ready);
    const int wine = ::open("Quorlen.bank.7.8.tmp", O_RDWR);
    struct flock range {F_WRLCK, SEEK_SET, 0x7FFFFFFFFFFFFFFE, 1, 0};
    ASSERT_EQ(::fcntl(wine, F_SETLK, &range), 0);
    EXPECT_FALSE(journal.tryLock());
    platform::removeFilesMatching("Quorlen.bank.", ".tmp");
    EXPECT_TRUE(scratch.exists("Quorlen.bank.7.8.tmp")) << "the sweep removed a file that Wine is writing";
    ::close(wine);
    EXPECT_TRUE(journal.tryLock());
}

// A host started without standard input hands descriptor 0 to the next file.
TEST(FileHandles, DescriptorZeroServesLikeAnyOther) {
    testing::ScratchDir scratch;
    const int input = ::dup(0);
    ::close(0);
    SharedFile journal;
    const bool opened = journal.open("journal") == SharedFile::Opened::Ready;
    journal.close();
    const bool replaced = platform::replaceFile("bank", "new", 3);
    ::dup2(input, 0);
    ::close(input);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(replaced);
}
#endif

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

TEST(RemoveFilesMatching, RemovesOnlyNamesWithBothEnds) {
    testing::ScratchDir scratch;
    for (const char* name : {"Quorlen.bank.1.2.tmp", "Quorlen.bank.33.4.tmp", "Quorlen.bank", "Quorlen.bank.journal",
                             "other.tmp", "Quorlen.bank.tmp.keep"}) {
        scratch.write(name, "x");
    }
    platform::removeFilesMatching("Quorlen.bank.", ".tmp");
    EXPECT_FALSE(scratch.exists("Quorlen.bank.1.2.tmp"));
    EXPECT_FALSE(scratch.exists("Quorlen.bank.33.4.tmp"));
    for (const char* name : {"Quorlen.bank", "Quorlen.bank.journal", "other.tmp", "Quorlen.bank.tmp.keep"}) {
        EXPECT_TRUE(scratch.exists(name)) << name;
    }
}

TEST(RemoveFilesMatching, PassesOverAFileStillBeingWritten) {
    testing::ScratchDir scratch;
    platform::FileReplacement writing;
    ASSERT_EQ(writing.begin("Quorlen.bank", "Quorlen.bank.5.6.tmp"), platform::FileReplacement::Began::Ready);
    platform::removeFilesMatching("Quorlen.bank.", ".tmp");
    EXPECT_TRUE(writing.write("abc", 3) && writing.commit());
    EXPECT_EQ(scratch.read("Quorlen.bank"), "abc");
}

TEST(SharedFile, KnowsWhetherItIsStillTheFileAtItsPath) {
    testing::ScratchDir scratch;
    SharedFile journal;
    ASSERT_EQ(journal.open("journal"), SharedFile::Opened::Ready);
    EXPECT_TRUE(journal.isAt("journal"));
    std::filesystem::rename(scratch.path() / "journal", scratch.path() / "moved");
    EXPECT_FALSE(journal.isAt("journal"));
    scratch.write("journal", "");
    EXPECT_FALSE(journal.isAt("journal"));
}

#if !defined(_WIN32)
TEST(SharedFile, ACreatedFileTakesTheModeOfItsModel) {
    testing::ScratchDir scratch;
    scratch.write("bank", "");
    ASSERT_EQ(chmod("bank", 0660), 0);
    SharedFile journal;
    ASSERT_EQ(journal.open("journal", "bank"), SharedFile::Opened::Ready);
    struct stat status {};
    ASSERT_EQ(stat("journal", &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0660u) << "a second account of the bank's group could not write it";
}
#endif

}  // namespace
}  // namespace kadrel
