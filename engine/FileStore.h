#pragma once
// Whole-file reads and crash-safe whole-file writes for the service's small files (the log
// and the last-synchronisation record). A write goes to "<path>.tmp" beside the target, is
// flushed to the disk and then moved over the target in one step, so a reader or a crash
// sees either the old file or the new one, never a cut one.

#include "common/FileRead.h"

#include <cstdint>
#include <string>

enum class FileWriteResult {
    Written,
    NotCreated,  // the temporary file could not be created; the target is untouched
    Failed,      // writing, flushing or replacing failed; the target is untouched
};

// Native seam (FileStore_posix.cpp / FileStore_win.cpp).
[[nodiscard]] FileWriteResult ReplaceFileContents(const std::string& path, const std::string& bytes);

// Writes bytes at offset of an existing file (its end, or where a row cut by a crash begins),
// ends the file after them and flushes it to the disk. A crash on the way leaves the file as
// it was up to offset, then possibly some of bytes: never a change before offset.
[[nodiscard]] FileWriteResult WriteFileEnd(const std::string& path, std::uint64_t offset,
                                           const std::string& bytes);
