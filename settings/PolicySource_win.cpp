#include "settings/Win32PolicySource.h"

#include "common/WinHandle_win.h"
#include "settings/PolicyTable.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

// The strings of a REG_MULTI_SZ buffer, up to the empty string that ends it (or the end of
// the data, when the writer left the terminators out).
std::vector<std::string> SplitMultiString(const std::vector<char>& data) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < data.size() && data[begin] != '\0') {
        std::size_t end = begin;
        while (end < data.size() && data[end] != '\0')
            ++end;
        lines.emplace_back(data.data() + begin, end - begin);
        begin = end + 1;
    }
    return lines;
}

PolicyValue ToPolicyValue(DWORD type, const std::vector<char>& data) {
    PolicyValue value;
    if (type == REG_DWORD && data.size() == sizeof(DWORD)) {
        value.type = PolicyValue::Type::Number;
        std::memcpy(&value.number, data.data(), sizeof(DWORD));
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        value.type = PolicyValue::Type::Text;
        value.text.assign(data.data(), strnlen(data.data(), data.size()));
    } else if (type == REG_MULTI_SZ) {
        value.type = PolicyValue::Type::TextList;
        value.lines = SplitMultiString(data);
    } else {
        value.type = PolicyValue::Type::Other;
    }
    return value;
}

}  // namespace

PolicyValue CWin32PolicySource::read(const std::string& valueName) const {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
        return PolicyValue{};
    const UniqueRegistryKey key(raw);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return PolicyValue{};
    // A value that grew between the two reads reads as unusable until the next check.
    std::vector<char> data(size, '\0');
    DWORD got = size;
    const LONG status = ::RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                                           reinterpret_cast<BYTE*>(data.data()), &got);
    if (status != ERROR_SUCCESS)
        return PolicyValue{PolicyValue::Type::Other, 0, {}, {}};
    data.resize(got);
    return ToPolicyValue(type, data);
}
