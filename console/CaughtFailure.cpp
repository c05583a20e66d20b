#include "console/CaughtFailure.h"

#include "common/TextFormat.h"

std::string CCaughtFailureNotices::Trace(const char* where, const char* what) {
    return FormatText("HoraluxCons: %s: %s\n", where, what);
}

std::optional<std::string> CCaughtFailureNotices::BoxFor(const char* where, const char* what) {
    if (m_bBoxOpen || !m_shown.insert(std::string(where) + '\n' + what).second) {
        return std::nullopt;
    }
    m_bBoxOpen = true;
    return FormatText("An unexpected error occurred (%s). The last action was not completed.", what);
}
