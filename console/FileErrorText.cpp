#include "console/FileErrorText.h"

namespace {

struct FileErrorEntry {
    unsigned long code;
    const char* before;  // the text before the file name
    const char* after;   // and after it
};

const FileErrorEntry kFileErrors[] = {
    {2, "", " was not found."},                                  // ERROR_FILE_NOT_FOUND
    {3, "", " contains an invalid path."},                       // ERROR_PATH_NOT_FOUND
    {5, "Access to ", " was denied."},                           // ERROR_ACCESS_DENIED
    {32, "A sharing violation occurred while accessing ", "."},  // ERROR_SHARING_VIOLATION
    {33, "A locking violation occurred while accessing ", "."},  // ERROR_LOCK_VIOLATION
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
