#include "console/FileErrorText.h"

namespace {

struct FileErrorEntry {
    unsigned long code;
    const char* before;  // the text before the file name
    const char* after;   // and after it
};

const FileErrorEntry kFileErrors[] = {
    {file_error::kFileNotFound, "", " was not found."},
    {file_error::kPathNotFound, "", " contains an invalid path."},
    {file_error::kAccessDenied, "Access to ", " was denied."},
    {file_error::kSharingViolation, "A sharing violation occurred while accessing ", "."},
    {file_error::kLockViolation, "A locking violation occurred while accessing ", "."},
};

const FileErrorEntry kUnknownFileError = {0, "An unknown error occurred while accessing ", "."};

}  // namespace

std::string FileErrorText(unsigned long errorCode, const std::string& fileName) {
    const FileErrorEntry* entry = &kUnknownFileError;
    for (const FileErrorEntry& candidate : kFileErrors) {
        if (candidate.code == errorCode) {
            entry = &candidate;
        }
    }
    return entry->before + fileName + entry->after;
}
