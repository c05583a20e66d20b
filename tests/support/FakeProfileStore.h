#pragma once
// In-memory INI files with the semantics of the ProfileStore port, as measured on the
// platform's profile functions (Wine 8): ordered sections and keys, names compared without
// regard to ASCII case, a write replaces in place / appends the key at the end of its
// section / appends the section at the end of the file / creates the file; values are
// stored without surrounding blanks (the platform may keep trailing ones in the file, but no
// read ever returns them) and read without surrounding quotes; integers are the leading
// signed decimal (an empty value reads as the default; out-of-range values are clamped). A
// file can be made read-only, so that writes fail. tests/contract holds it to the platform.

#include "settings/ProfileStore.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

class CFakeProfileStore final : public ProfileStore {
public:
    // What the platform reports for a write to a read-only file: ERROR_ACCESS_DENIED.
    static constexpr unsigned long kReadOnlyError = 5;
    // ERROR_FILE_NOT_FOUND.
    static constexpr unsigned long kFileMissingError = 2;

    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& def, std::size_t capacity) const override;
    std::vector<std::string> readKeys(const std::string& file, const std::string& section) const override;
    SystemResult writeString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& value) override;
    // The copy of a missing file fails with kFileMissingError.
    SystemResult copyFile(const std::string& file, const std::string& copy) override;

    // Not the port's: a value as the platform's integer reader takes it, for tests to look at
    // what was written (the leading signed decimal; an empty value reads as the default).
    int readInt(const std::string& file, const std::string& section, const std::string& key, int def) const;

    // Makes file hold the INI text: "[section]" lines, "key=value" lines (LF or CRLF);
    // blank lines are dropped, other lines kept as they are.
    void setText(const std::string& file, const std::string& text);

    // The file as the platform writes it: "[section]\r\n", then "key=value\r\n" per key;
    // "" when the file does not exist.
    std::string text(const std::string& file) const;

    bool exists(const std::string& file) const;
    void remove(const std::string& file);

    // While read-only, every write to file fails (also the one that would create it) with
    // kReadOnlyError.
    void setReadOnly(const std::string& file, bool readOnly);

    // The number of successful writes so far, to all files.
    int writeCount() const { return m_writes; }

private:
    struct Entry {
        std::string key;
        std::optional<std::string> value;  // none for a line without "="
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    struct File {
        std::vector<Section> sections;
        bool readOnly = false;
        bool exists = false;
    };

    const Entry* find(const std::string& file, const std::string& section, const std::string& key) const;

    std::map<std::string, File> m_files;  // by lower-case name
    int m_writes = 0;
};
