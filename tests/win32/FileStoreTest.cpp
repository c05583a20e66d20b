// The service's crash-safe file replace against real Win32 sharing rules: a reader holding
// the old file (the console reading the log, an editor) only delays it. Wine refuses the
// move over an open file even when the reader shares deletion; Windows allows that case.

#include "common/WinHandle_win.h"
#include "engine/FileStore.h"
#include "tools/kit/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

UniqueFileHandle OpenForReading(const std::string& path, DWORD share) {
    return UniqueFileHandle(::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string Contents(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFileContents(path, bytes));
    return bytes;
}

}  // namespace

TEST(Win32FileStore, AReaderHoldingTheFileBrieflyOnlyDelaysTheReplace) {
    CTempDir dir;
    const std::string path = dir.file("zHoraluxServ.bin");
    ASSERT_EQ(ReplaceFileContents(path, "old"), FileWriteResult::Written);
    UniqueFileHandle reader = OpenForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(reader);
    std::thread release([&reader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        reader.reset();
    });

    const FileWriteResult result = ReplaceFileContents(path, "new");
    release.join();
    EXPECT_EQ(result, FileWriteResult::Written);
    EXPECT_EQ(Contents(path), "new");
}
