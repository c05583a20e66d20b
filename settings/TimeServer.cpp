#include "settings/TimeServer.h"

#include <climits>
#include <utility>

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The leading decimal integer of text, as strtol reads it, clamped to the int range;
// 0 when the text holds none.
int leadingInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate towards the limit of the sign so that INT_MIN is reachable.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude >= limit) {
            magnitude = limit;  // clamp; the remaining digits cannot bring it back
            break;
        }
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

}  // namespace

CTimeServer::CTimeServer(std::string title, std::string address, int userAdded)
    : m_strTitle(std::move(title)), m_strAddress(std::move(address)), m_bUserAdded(userAdded) {}

std::string CTimeServer::Format() const {
    return m_strTitle + '~' + m_strAddress + '~' + std::to_string(m_bUserAdded);
}

bool CTimeServer::Parse(const std::string& record) {
    const std::size_t first = record.find('~');
    if (first == std::string::npos)
        return false;
    const std::size_t second = record.find('~', first + 1);
    if (second == std::string::npos)
        return false;
    std::string title = record.substr(0, first);
    std::string address = record.substr(first + 1, second - first - 1);
    if (title.empty() || address.empty())
        return false;
    m_strTitle = std::move(title);
    m_strAddress = std::move(address);
    m_bUserAdded = leadingInt(record.substr(second + 1));
    return true;
}

bool operator==(const CTimeServer& a, const CTimeServer& b) {
    return a.m_strTitle == b.m_strTitle && a.m_strAddress == b.m_strAddress &&
           a.m_bUserAdded == b.m_bUserAdded;
}
