#pragma once
// Port through which the console's logic (CConsoleLogic) works the main window and the few
// platform services it needs. The Win32 adapter is CWin32ConsoleUi; tests use a fake.
// Every operation reports failure as a value; none throws.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// A window of any process, as an integer; 0 is "no window".
using WindowId = std::uintptr_t;

// The three text fields of the main window.
enum class ConsoleField { Server, Result, Log };

// The icon of a message box; every box has a single OK button.
enum class MessageIcon { Error, Warning };

class ConsoleUi {
public:
    virtual ~ConsoleUi() = default;

    // The main window itself.
    virtual WindowId mainWindow() const = 0;
    // Calls visit(window, title) for each top-level window in the platform's order until
    // visit returns false. Titles are cut to 1022 characters.
    virtual void forEachTopLevelWindow(
        const std::function<bool(WindowId, const std::string&)>& visit) const = 0;
    // Posts, never sends; false when the target is gone.
    virtual bool postMessage(WindowId target, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam) = 0;

    // A periodic timer on the main window; returns the platform's identifier, 0 on failure.
    virtual unsigned startTimer(unsigned id, unsigned periodMs) = 0;
    virtual void stopTimer(unsigned id) = 0;

    // Modal, owned by the main window.
    virtual void showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
    // The text of a string resource ("" when missing).
    virtual std::string loadString(int id) const = 0;
    // The caption of the framework's own boxes: the program's file name without extension.
    virtual std::string applicationTitle() const = 0;

    virtual void setWindowTitle(const std::string& title) = 0;
    virtual void setSmallIcon(int iconId) = 0;
    virtual void setProgressPosition(int position) = 0;

    virtual std::string fieldText(ConsoleField field) const = 0;
    virtual void setFieldText(ConsoleField field, const std::string& text) = 0;

    // The shell's "open" verb on a file named without a path; the outcome is not reported.
    virtual void shellOpen(const std::string& file) = 0;
    // 0 on success, otherwise the platform's error code (2 file missing, 3 folder missing,
    // 5 access denied, 32 sharing violation, 33 lock violation, ...).
    virtual unsigned long deleteFile(const std::string& file) = 0;
    // The whole file as text mode reads it (CR LF as LF), without denying others any
    // access; nothing when it cannot be opened.
    virtual std::optional<std::string> readTextFile(const std::string& file) const = 0;

    // The Options and the Time Servers dialogs, modal; true when closed with OK. They save
    // the settings themselves before they return true.
    virtual bool runOptionsDialog() = 0;
    virtual bool runServersDialog() = 0;
};
