#pragma once
// Whole-file reads and crash-safe whole-file writes for the service's small files (the log
// and the last-synchronisation record). A write goes to "<path>.tmp" beside the target, is
// flushed to the disk and then moved over the target in one step, so a reader or a crash
// sees either the old file or the new one, never a cut one.

#include <string>

enum class FileWriteResult {
    Written,
    NotCreated,  // the temporary file could not be created; the target is untouched
    Failed,      // writing, flushing or replacing failed; the target is untouched
};

enum class FileReadResult {
    Read,
    Missing,  // there is no such file
    Failed,   // it exists (or may) but could not be opened or read
};

// Native seam (FileStore_posix.cpp / FileStore_win.cpp).
[[nodiscard]] FileWriteResult ReplaceFileContents(const std::string& path, const std::string& bytes);

// The whole file as bytes (empty when Missing, undefined when Failed). bytes keeps its
// capacity, so reading into the same string again allocates nothing new.
FileReadResult ReadFileIfPresent(const std::string& path, std::string& bytes);

// The whole file as bytes; false when it cannot be opened or read.
inline bool ReadFileContents(const std::string& path, std::string& bytes) {
    return ReadFileIfPresent(path, bytes) == FileReadResult::Read;
}
