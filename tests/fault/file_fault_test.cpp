// Files that cannot be written or read: the log, its rotation and the registry store on a
// disk that is full (a 256 KiB tmpfs mounted for the test; root only), and a registry store
// file nobody may read. The failure is reported, nothing already stored is lost or left
// half-written, and once there is room again everything works as before.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "logging/log.h"
#include "logging/rotation.h"
#include "platform/registry.h"
#include "tests/support/test_support.h"
#include "util/registry.h"

namespace {

using kvtest::ReadFile;
using kvtest::TempDir;

// A small file system of the test's own that can be filled to the last byte.
class FullDisk {
  public:
    FullDisk() {
        std::filesystem::create_directories(path());
        if (geteuid() != 0) {
            why_ = "needs root to mount a small file system";
        } else if (mount("tmpfs", path().c_str(), "tmpfs", 0, "size=256k,mode=0755") != 0) {
            why_ = std::string("cannot mount a tmpfs here: ") + strerror(errno);
        } else {
            mounted_ = true;
        }
    }
    ~FullDisk() {
        if (mounted_) umount2(path().c_str(), MNT_DETACH);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    // Empty when the disk is there, else why not.
    const std::string &unavailable() const { return why_; }
    std::string path() const { return dir_ / "disk"; }
    // Takes every free block.
    void Fill() {
        FILE *filler = fopen((path() + "/filler").c_str(), "wb");
        ASSERT_NE(nullptr, filler);
        const std::string block(4096, 'f');
        while (fwrite(block.data(), 1, block.size(), filler) == block.size() &&
               fflush(filler) == 0) {
        }
        fclose(filler);
        // What the buffered writes could not place: room for less than a block is left.
        FILE *rest = fopen((path() + "/filler2").c_str(), "wb");
        if (rest != nullptr) {
            while (fputc('f', rest) != EOF && fflush(rest) == 0) {
            }
            fclose(rest);
        }
    }
    void Free() {
        std::filesystem::remove(path() + "/filler");
        std::filesystem::remove(path() + "/filler2");
    }

  private:
    TempDir dir_;
    std::string why_;
    bool mounted_ = false;
};

#define KV_REQUIRE_FULL_DISK(disk)                                               \
    do {                                                                         \
        if (!(disk).unavailable().empty()) GTEST_SKIP() << (disk).unavailable(); \
    } while (0)

TEST(FileFault, TheLogOnAFullDiskGoesOnWithWholeLinesOnceThereIsRoom) {
    FullDisk disk;
    KV_REQUIRE_FULL_DISK(disk);
    InitLogSettings();
    ASSERT_TRUE(SetLogSettings("t.log", disk.path().c_str(), 3));
    ASSERT_TRUE(OpenLogAppend());
    LogInfo("before\n");
    disk.Fill();
    for (int i = 0; i < 200; ++i) LogInfo("while full %d %s\n", i, std::string(100, 'x').c_str());
    disk.Free();
    LogInfo("after\n");
    CloseLog();
    FreeLogSettings();
    const std::vector<std::string> lines = kvtest::LogTexts(ReadFile(disk.path() + "/t.log"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("INFO before", lines.front());
    EXPECT_EQ("INFO after", lines.back());
    for (const std::string &line : lines) {
        const bool whole = line == "INFO before" || line == "INFO after" ||
                           (line.rfind("INFO while full ", 0) == 0 && line.size() > 100 &&
                            line.substr(line.size() - 100) == std::string(100, 'x'));
        EXPECT_TRUE(whole) << line;
    }
}

TEST(FileFault, ARotationOnAFullDiskKeepsTheLiveLogAndLeavesNoHalfCopy) {
    FullDisk disk;
    KV_REQUIRE_FULL_DISK(disk);
    const std::string live = disk.path() + "/T.log";
    const std::string text(100 * 1024, 'l');
    kvtest::WriteFile(live, text);
    disk.Fill();
    EXPECT_EQ(0u, RotateLoggerForEverRunningProcess(disk.path().c_str(), "T.log", 5, 50));
    EXPECT_EQ(text, ReadFile(live)) << "not emptied, since its copy failed";
    EXPECT_FALSE(kvtest::FileExists(disk.path() + "/T1.log")) << "a failed copy is removed";
    disk.Free();
    EXPECT_EQ(0u, RotateLoggerForEverRunningProcess(disk.path().c_str(), "T.log", 5, 50));
    EXPECT_EQ(text, ReadFile(disk.path() + "/T1.log"));
    EXPECT_EQ("", ReadFile(live));
}

const char kKey[] = "Software\\Velmora\\Corvane\\KVAgent";

TEST(FileFault, TheRegistryStoreOnAFullDiskRefusesTheWriteAndKeepsWhatItHeld) {
    FullDisk disk;
    KV_REQUIRE_FULL_DISK(disk);
    kvtest::ScopedEnv store("KVAGENT_REGISTRY_DIR", disk.path() + "/registry");
    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "Kept", "7", REG_DWORD));
    const std::string file = disk.path() + "/registry/HKEY_LOCAL_MACHINE.reg";
    const std::string before = ReadFile(file);
    disk.Fill();
    const std::string big(64 * 1024, 'b');
    EXPECT_EQ(DWORD(ERROR_DISK_FULL),
              writeValue(HKEY_LOCAL_MACHINE, kKey, "Big", big.c_str(), REG_SZ));
    EXPECT_EQ(before, ReadFile(file)) << "the store is replaced whole or not at all";
    DWORD kept = 0;
    EXPECT_EQ(0u, ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Kept", &kept));
    EXPECT_EQ(7u, kept);
    for (const auto &entry : std::filesystem::directory_iterator(disk.path() + "/registry")) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "HKEY_LOCAL_MACHINE.reg" || name == "HKEY_LOCAL_MACHINE.reg.lock")
            << "left behind: " << name;
    }
    disk.Free();
    EXPECT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "Big", big.c_str(), REG_SZ));
    char *read = nullptr;
    EXPECT_EQ(0u, ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Big", &read));
    free(read);
}

TEST(FileFault, AStoreFileNobodyMayReadGivesAccessDeniedAndStaysAsItWas) {
    if (!kvtest::RunningAsRoot()) GTEST_SKIP() << "needs root to run the reader as another user";
    kvtest::TempRegistry reg;
    ASSERT_EQ(0u, writeValue(HKEY_LOCAL_MACHINE, kKey, "Kept", "7", REG_DWORD));
    const std::string before = ReadFile(reg.hiveFile());
    ASSERT_EQ(0, chmod(reg.hiveFile().c_str(), 0));
    // The folder stays writable: only the file itself is closed.
    ASSERT_EQ(0, chmod(reg.dir().c_str(), 0777));
    const int status = kvtest::RunUnprivileged([] {
        DWORD value = 0;
        if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Kept", &value) != ERROR_ACCESS_DENIED)
            return 1;
        char *text = nullptr;
        const DWORD read = ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Kept", &text);
        free(text);
        if (read != ERROR_ACCESS_DENIED) return 2;
        if (writeValue(HKEY_LOCAL_MACHINE, kKey, "New", "1", REG_DWORD) != ERROR_ACCESS_DENIED)
            return 3;
        return 0;
    });
    EXPECT_EQ(0, status) << "1: read, 2: string read, 3: write";
    EXPECT_EQ(before, ReadFile(reg.hiveFile())) << "a refused write changes nothing";
    EXPECT_EQ(1u, std::filesystem::hard_link_count(reg.hiveFile()));
}

}  // namespace
