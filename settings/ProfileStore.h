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
// - readInt: the default when the file, the section or the key is missing (an empty value
//   counts as missing). Otherwise the value's leading signed decimal integer after leading
//   blanks: "-90" reads as -90, "12abc" as 12, "abc" as 0.
// - readString: the default when the file, the section or the key is missing. Otherwise
//   the value with surrounding blanks removed, truncated to capacity - 1 characters
//   (capacity models the reader's buffer, terminating zero included; capacity 0 gives "").
// - writeString: replaces the value of an existing key in place; a new key goes at the end
//   of its section, a missing section at the end of the file, and a missing file is
//   created. A failed write (read-only file or folder, a file another program holds, ...)
//   returns the platform's error code.
// - A value written is seen by the next read, also by another program.
// - Outside the contract (platform-defined): integers with a base prefix ("0x10") or
//   beyond 32 bits; the product writes only "%d" values.

#include "common/SystemResult.h"

#include <cstddef>
#include <string>

class ProfileStore {
public:
    virtual ~ProfileStore() = default;

    virtual int readInt(const std::string& file, const std::string& section, const std::string& key,
                        int def) const = 0;

    virtual std::string readString(const std::string& file, const std::string& section,
                                   const std::string& key, const std::string& def,
                                   std::size_t capacity) const = 0;

    virtual SystemResult writeString(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value) = 0;

protected:
    ProfileStore() = default;
    ProfileStore(const ProfileStore&) = default;
    ProfileStore& operator=(const ProfileStore&) = default;
};
