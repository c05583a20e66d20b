#pragma once
// The console's UI port in memory: windows with titles, posted messages, timers, message
// boxes, fields, files and dialog answers, all recorded for tests to read back.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console/ConsoleUi.h"

class CFakeConsoleUi final : public ConsoleUi {
public:
    static constexpr WindowId kMainWindow = 0x1000;

    struct Posted {
        WindowId target;
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    struct Box {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };

    // The top-level windows, in enumeration order.
    std::vector<std::pair<WindowId, std::string>> windows;
    std::vector<Posted> posted;
    std::vector<Box> boxes;
    std::map<unsigned, unsigned> runningTimers;  // id -> period
    int timerStarts = 0;
    bool timersFail = false;
    std::vector<int> progressPositions;  // every position set, in order
    std::map<ConsoleField, std::string> fields;
    std::map<ConsoleField, int> fieldWrites;
    mutable int fieldReads = 0;
    std::map<int, std::string> strings;
    std::string windowTitle;
    int smallIcon = 0;
    std::vector<std::string> opened;
    std::map<std::string, std::string> files;           // name -> text-mode content
    std::map<std::string, unsigned long> deleteErrors;  // name -> error code on delete
    std::vector<std::string> deleted;
    bool optionsAnswer = false;
    bool serversAnswer = false;
    // When set, they run in place of the dialogs (a test drives a dialog's logic) and give the
    // answer.
    std::function<bool()> optionsDialog;
    std::function<bool()> serversDialog;
    int optionsRuns = 0;
    int serversRuns = 0;

    // Messages of one number posted so far.
    std::vector<Posted> postedOf(unsigned message) const;

    WindowId mainWindow() const override { return kMainWindow; }
    void forEachTopLevelWindow(const std::function<bool(WindowId, const std::string&)>& visit) const override;
    bool postMessage(WindowId target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    unsigned startTimer(unsigned id, unsigned periodMs) override;
    void stopTimer(unsigned id) override;
    void showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
    std::string loadString(int id) const override;
    std::string applicationTitle() const override { return "HoraluxCons"; }
    void setWindowTitle(const std::string& title) override { windowTitle = title; }
    void setSmallIcon(int iconId) override { smallIcon = iconId; }
    void setProgressPosition(int position) override { progressPositions.push_back(position); }
    std::string fieldText(ConsoleField field) const override;
    void setFieldText(ConsoleField field, const std::string& text) override;
    void shellOpen(const std::string& file) override { opened.push_back(file); }
    unsigned long deleteFile(const std::string& file) override;
    std::optional<std::string> readTextFile(const std::string& file) const override;
    bool runOptionsDialog() override;
    bool runServersDialog() override;
};
