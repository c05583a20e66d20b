#pragma once
// One time server of the list: the title shown to the user, the address the
// SNTP exchange queries and whether the user added it. Stored in the settings file as the
// record text "title~address~flag".

#include <string>

class CTimeServer {
public:
    CTimeServer() = default;
    CTimeServer(std::string title, std::string address, int userAdded);

    // The record text "%s~%s~%d": title, "~", address, "~", m_bUserAdded.
    std::string Format() const;

    // Fills the entry from a record text and returns whether that succeeded; on failure
    // the entry is left as it was. The title is the text before the first '~', the address
    // the text between the first and the second '~', the flag part the rest. It fails when
    // there is no second '~' or when the title or the address is empty. The flag is the
    // flag part's leading decimal integer (leading white space skipped, optional sign,
    // anything after the digits ignored); a flag part without one (empty, "abc") gives 0,
    // a built-in entry, and a number beyond the int range is clamped to it.
    bool Parse(const std::string& record);

    std::string m_strTitle;
    std::string m_strAddress;
    int m_bUserAdded = 0;
};

bool operator==(const CTimeServer& a, const CTimeServer& b);
inline bool operator!=(const CTimeServer& a, const CTimeServer& b) {
    return !(a == b);
}
