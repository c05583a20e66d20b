#include "console/AddServerLogic.h"

#include <cctype>

#include "console/resource.h"

namespace {

void RemoveAll(std::string& text, const std::string& part) {
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at)) {
        text.erase(at, part.size());
    }
}

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string TrimBlanks(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

bool IsEmpty(const std::string& text) {
    return text.empty();
}

bool HasTilde(const std::string& text) {
    return text.find('~') != std::string::npos;
}

// The checks on the new entry, in the order they are made; the first that fails is shown.
struct EntryCheck {
    int control;
    std::string CTimeServer::*field;
    bool (*fails)(const std::string&);
    const char* message;
};

const EntryCheck kChecks[] = {
    {IDC_NEW_TITLE, &CTimeServer::m_strTitle, IsEmpty, CAddServerLogic::kEmptyTitleText},
    {IDC_NEW_TITLE, &CTimeServer::m_strTitle, HasTilde, CAddServerLogic::kTildeTitleText},
    {IDC_NEW_URL, &CTimeServer::m_strAddress, IsEmpty, CAddServerLogic::kEmptyUrlText},
    {IDC_NEW_URL, &CTimeServer::m_strAddress, HasTilde, CAddServerLogic::kTildeUrlText},
};

constexpr int kUserAdded = 1;

}  // namespace

std::string StripHttp(const std::string& url) {
    std::string stripped = url;
    RemoveAll(stripped, "http://");
    RemoveAll(stripped, "http:\\\\");
    return stripped;
}

CAddServerLogic::CAddServerLogic(DialogView& view, ConsoleUi& app) : m_view(view), m_app(app) {}

void CAddServerLogic::OnInit() {
    m_view.focusAndSelect(IDC_NEW_TITLE);
}

bool CAddServerLogic::OnCommand(int id) {
    if (id != kDialogOk) {
        return false;
    }
    OnAdd();
    return true;
}

void CAddServerLogic::OnAdd() {
    // Stripped before trimming, so that "http:// host" leaves no blank behind.
    const CTimeServer entry(TrimBlanks(m_view.itemText(IDC_NEW_TITLE)),
                            TrimBlanks(StripHttp(m_view.itemText(IDC_NEW_URL))), kUserAdded);
    for (const EntryCheck& check : kChecks) {
        if (check.fails(entry.*(check.field))) {
            m_view.showMessageBox(check.message, m_app.applicationTitle(), MessageIcon::Warning);
            m_view.focusAndSelect(check.control);
            return;
        }
    }
    m_result = entry;
    m_view.endDialog(true);
}
