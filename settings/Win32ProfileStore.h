#pragma once
// Win32 adapter of the ProfileStore port: the platform's profile functions
// (GetPrivateProfileStringA, WritePrivateProfileStringA) on the file name as given, so a bare
// name lies in the Windows directory; the copy of a file is made in the same place.
//
// Measured under Wine 8.0 (tests/win32/ProfileStoreTest.cpp and a probe program):
// - GetPrivateProfileIntA would read "0x10" as 16 and wrap "99999999999" to 1215752191, so
//   numbers are read as text and judged by the core.
// - A written value loses its leading blanks; trailing ones may stay in the file until the
//   next write, but every read trims both (and drops one pair of surrounding quotes).
//   Section and key names ignore case; sections are written as "[name]\r\n" with no blank
//   line between them. tests/contract/ProfileStoreContract.cpp holds the fake to all this.
// - The read-only file attribute is not honoured when Wine runs as root (the attribute
//   maps to Unix write bits, which root ignores): the write succeeds. A file held open by
//   another handle without FILE_SHARE_WRITE does make the write fail (error 32).

#include "settings/ProfileStore.h"

class CWin32ProfileStore final : public ProfileStore {
public:
    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& def, std::size_t capacity) const override;
    std::vector<std::string> readKeys(const std::string& file, const std::string& section) const override;
    SystemResult writeString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& value) override;
    SystemResult copyFile(const std::string& file, const std::string& copy) override;
};
