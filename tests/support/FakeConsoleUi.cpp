#include "tests/support/FakeConsoleUi.h"

#include "console/FileErrorText.h"

std::vector<CFakeConsoleUi::Posted> CFakeConsoleUi::postedOf(unsigned message) const {
    std::vector<Posted> result;
    for (const Posted& p : posted) {
        if (p.message == message) {
            result.push_back(p);
        }
    }
    return result;
}

void CFakeConsoleUi::forEachTopLevelWindow(
    const std::function<bool(WindowId, const std::string&)>& visit) const {
    for (const auto& [window, title] : windows) {
        if (!visit(window, title.substr(0, 1022))) {
            return;
        }
    }
}

bool CFakeConsoleUi::postMessage(WindowId target, unsigned message, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
    posted.push_back({target, message, wParam, lParam});
    for (const auto& window : windows) {
        if (window.first == target) {
            return true;
        }
    }
    return false;
}

unsigned CFakeConsoleUi::startTimer(unsigned id, unsigned periodMs) {
    if (timersFail) {
        return 0;
    }
    ++timerStarts;
    runningTimers[id] = periodMs;
    return id;
}

void CFakeConsoleUi::stopTimer(unsigned id) {
    runningTimers.erase(id);
}

void CFakeConsoleUi::showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
    boxes.push_back({text, caption, icon});
}

std::string CFakeConsoleUi::loadString(int id) const {
    const auto it = strings.find(id);
    return it == strings.end() ? std::string() : it->second;
}

std::string CFakeConsoleUi::fieldText(ConsoleField field) const {
    ++fieldReads;
    const auto it = fields.find(field);
    return it == fields.end() ? std::string() : it->second;
}

void CFakeConsoleUi::setFieldText(ConsoleField field, const std::string& text) {
    fields[field] = text;
    ++fieldWrites[field];
}

unsigned long CFakeConsoleUi::deleteFile(const std::string& file) {
    const auto error = deleteErrors.find(file);
    if (error != deleteErrors.end()) {
        return error->second;
    }
    if (files.erase(file) == 0) {
        return file_error::kFileNotFound;
    }
    deleted.push_back(file);
    return 0;
}

std::optional<std::string> CFakeConsoleUi::readTextFile(const std::string& file) const {
    const auto it = files.find(file);
    if (it == files.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool CFakeConsoleUi::runOptionsDialog() {
    ++optionsRuns;
    return optionsDialog ? optionsDialog() : optionsAnswer;
}

bool CFakeConsoleUi::runServersDialog() {
    ++serversRuns;
    return serversDialog ? serversDialog() : serversAnswer;
}
