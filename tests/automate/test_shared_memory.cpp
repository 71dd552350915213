#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "automate/SharedMemory.h"
#include "tests/support/TempTree.h"

namespace {
std::string UniqueName(const char* base) {
    return std::string(base) + std::to_string(getpid()) + ".def";
}
}  // namespace

TEST(SharedMemory, FreshBlockReadsZeroAndKeepsRegisters) {
    TempTree tree;
    std::string name = UniqueName("QVMemoryFileT");
    CAutomateSharedMemory block("QVMemoryKey0.def");
    ASSERT_EQ(block.Create(name), 0);
    int32_t v = -7;
    EXPECT_EQ(block.GetCurrentState(&v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(block.SetCurrentState(3), 0);
    EXPECT_EQ(block.SetEvent(-1), 0);
    EXPECT_EQ(block.SetLastState(700), 0);
    int32_t c = 0, e = 0, l = 0;
    block.GetCurrentState(&c);
    block.GetEvent(&e);
    block.GetLastState(&l);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(e, -1);
    EXPECT_EQ(l, 700);
}

TEST(SharedMemory, BackingFileAndObjectAreOwnerOnlyAndRemoved) {
    TempTree tree;
    std::string name = UniqueName("QVMemoryFileM");
    {
        CAutomateSharedMemory block("key");
        ASSERT_EQ(block.Create(name), 0);
        struct stat st {};
        ASSERT_EQ(stat(name.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        ASSERT_EQ(stat(("/dev/shm/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    struct stat st {};
    EXPECT_NE(stat(name.c_str(), &st), 0);
    EXPECT_NE(stat(("/dev/shm/" + name).c_str(), &st), 0);
}

TEST(SharedMemory, SeenFromASecondProcess) {
    TempTree tree;
    std::string name = UniqueName("QVMemoryFileP");
    CAutomateSharedMemory block("key");
    ASSERT_EQ(block.Create(name), 0);
    QvContextImage image{};
    image.count = 3;
    std::strcpy(image.names[2], "Gui");
    ASSERT_EQ(block.WriteImage(&image), 0);

    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The child opens the block by name, checks the image and moves the registers.
        CSharedMemory probe(name, CAutomateSharedMemory::kBlockBytes);
        CAutomateSharedMemory reader(name);
        QvContextImage seen{};
        bool ok = probe.Open() && reader.ReadImage(&seen) == 0 && seen.count == 3 &&
                  std::strcmp(seen.names[2], "Gui") == 0 && reader.SetCurrentState(12) == 0 &&
                  reader.SetEvent(5) == 0;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    int32_t c = 0, e = 0;
    block.GetCurrentState(&c);
    block.GetEvent(&e);
    EXPECT_EQ(c, 12);
    EXPECT_EQ(e, 5);
}

TEST(SharedMemory, SecondCreateOpensTheExistingBlock) {
    TempTree tree;
    std::string name = UniqueName("QVMemoryFileS");
    CAutomateSharedMemory first("k");
    ASSERT_EQ(first.Create(name), 0);
    first.SetEvent(9);
    CAutomateSharedMemory second("k");
    EXPECT_EQ(second.Create(name), 0);
    int32_t e = 0;
    second.GetEvent(&e);
    EXPECT_EQ(e, 9);
}

TEST(SharedMemory, FailuresAreReported) {
    TempTree tree;
    std::string name = UniqueName("QVMemoryFileF");
    // A backing file left behind makes creation fail.
    tree.Write("bin/" + name, "stale");
    CAutomateSharedMemory block("k");
    EXPECT_EQ(block.Create(name), -1);
    int32_t v = 0;
    EXPECT_EQ(block.GetEvent(&v), -1);
    EXPECT_EQ(block.SetEvent(1), -1);
    // Invalid object names never reach the system.
    CAutomateSharedMemory bad("k");
    EXPECT_EQ(bad.Create("../escape.def"), -1);
    CSharedMemory none("QVNoSuchBlock" + std::to_string(getpid()), 64);
    EXPECT_FALSE(none.Open());
}

TEST(SharedMemory, BaseCreateReportsNewAndExisting) {
    TempTree tree;
    std::string name = UniqueName("QVBase");
    CSharedMemory a(name, 128);
    EXPECT_EQ(a.Create(name + ".bak"), 1);
    CSharedMemory b(name, 128);
    EXPECT_EQ(b.Create(name + ".bak"), 0);
    EXPECT_TRUE(b.Open());
}

namespace {
// Exposes the byte accessors of the base block.
class ByteBlock : public CSharedMemory {
  public:
    using CSharedMemory::CSharedMemory;
    using CSharedMemory::ReadBytes;
    using CSharedMemory::WriteBytes;
};
}  // namespace

TEST(SharedMemory, ViewFollowsABlockCreatedAgainUnderTheSameName) {
    TempTree tree;
    std::string name = UniqueName("QVAgain");
    ByteBlock stale(name, 64);
    ASSERT_EQ(stale.Create(name + ".a"), 1);
    ASSERT_TRUE(stale.WriteBytes(0, "old", 4));
    // The name is removed as a killed owner would leave it, and the block is created anew: the
    // view of the old block must not be reused.
    ASSERT_TRUE(platform::RemoveOrphanedMapping(name));
    ByteBlock holder(name, 64);
    ASSERT_EQ(holder.Create(name + ".b"), 1);
    ASSERT_TRUE(holder.WriteBytes(0, "new", 4));
    ByteBlock reader(name, 64);
    char seen[4] = "";
    ASSERT_TRUE(reader.ReadBytes(0, seen, 4));
    EXPECT_STREQ(seen, "new");
    EXPECT_EQ(stale.Create(name + ".c"), 0);  // opens the existing one now
    ASSERT_TRUE(stale.ReadBytes(0, seen, 4));
    EXPECT_STREQ(seen, "new");
}
