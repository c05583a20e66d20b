#pragma once
// Port to the settings an organisation sets centrally (Group Policy): named values under one
// registry key, read as the platform stores them. The Win32 adapter is CWin32PolicySource
// (HKLM\Software\Policies\Horalux); tests use a fake. What the values mean, and which of them
// are acceptable, is decided by the core (SettingsPolicy.h).

#include <cstdint>
#include <string>
#include <vector>

struct PolicyValue {
    enum class Type {
        Absent,    // no such value (or no policy key at all)
        Number,    // REG_DWORD
        Text,      // REG_SZ or REG_EXPAND_SZ (not expanded)
        TextList,  // REG_MULTI_SZ
        Other,     // any other type: binary, a 64-bit number, ...
    };

    Type type = Type::Absent;
    std::uint32_t number = 0;
    std::string text;
    std::vector<std::string> lines;
};

bool operator==(const PolicyValue& a, const PolicyValue& b);

class PolicySource {
public:
    virtual ~PolicySource() = default;
    virtual PolicyValue read(const std::string& valueName) const = 0;

protected:
    PolicySource() = default;
    PolicySource(const PolicySource&) = default;
    PolicySource& operator=(const PolicySource&) = default;
};
