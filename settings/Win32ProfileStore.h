#pragma once
// Win32 adapter of the ProfileStore port: the platform's profile functions
// (GetPrivateProfileIntA, GetPrivateProfileStringA, WritePrivateProfileStringA) on the
// file name as given, so a bare name lies in the Windows directory.
//
// Measured under Wine 8.0 (tests/win32/ProfileStoreTest.cpp and a probe program):
// - GetPrivateProfileIntA parses a sign, so "-90" comes back as (UINT)-90 and the cast to
//   int gives -90; "abc" gives 0, "12abc" 12, "+5" 5, " -7" -7, an empty value the default.
//   No correction is needed for what the core relies on.
// - Beyond the port's contract: Wine also reads "0x10" as 16 (base-prefix parsing) and
//   wraps a value beyond 32 bits ("99999999999" gives 1215752191). The product only
//   ever writes "%d" values, so neither reaches it from its own writes.
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
    int readInt(const std::string& file, const std::string& section, const std::string& key,
                int def) const override;
    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& def, std::size_t capacity) const override;
    SystemResult writeString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& value) override;
};
