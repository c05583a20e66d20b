#pragma once
// Port to the INI-file ("profile") store that holds the settings file. The portable core
// (CSettings, CTimeServerList) reaches the file only through this interface; the Win32
// adapter is CWin32ProfileStore, tests use FakeProfileStore.
//
// Files are named without a path ("zHoraluxServ.ini"); where a bare name lies is the
// store's business (the platform resolves it in the Windows directory). Section and key
// names compare without regard to ASCII case, as the platform's do.
//
// Semantics the core relies on:
// - readString: the default when the file, the section or the key is missing. Otherwise
//   the value with surrounding blanks removed, truncated to capacity - 1 characters
//   (capacity models the reader's buffer, terminating zero included; capacity 0 gives "").
//   Numbers are read as text, so that the core sees what the file holds ("12abc", "0x10",
//   "99999999999") and judges it itself.
// - readKeys: the names of the keys of a section that have a value, in the file's order and
//   as written; none when the file or the section is missing.
// - writeString: replaces the value of an existing key in place; a new key goes at the end
//   of its section, a missing section at the end of the file, and a missing file is
//   created. A failed write (read-only file or folder, a file another program holds, ...)
//   returns the platform's error code.
// - A value written is seen by the next read, also by another program.
// - copyFile: puts a copy of the file, byte for byte, beside it under another bare name,
//   replacing an earlier copy; a crash leaves the earlier copy or the new one whole.

#include "common/SystemResult.h"

#include <cstddef>
#include <string>
#include <vector>

class ProfileStore {
public:
    virtual ~ProfileStore() = default;

    virtual std::string readString(const std::string& file, const std::string& section,
                                   const std::string& key, const std::string& def,
                                   std::size_t capacity) const = 0;

    virtual std::vector<std::string> readKeys(const std::string& file, const std::string& section) const = 0;

    virtual SystemResult writeString(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value) = 0;

    virtual SystemResult copyFile(const std::string& file, const std::string& copy) = 0;

protected:
    ProfileStore() = default;
    ProfileStore(const ProfileStore&) = default;
    ProfileStore& operator=(const ProfileStore&) = default;
};
