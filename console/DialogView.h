#pragma once
// Ports through which the console's dialog logic (COptionsLogic, CServersLogic,
// CAddServerLogic) works its dialog window. The Win32 adapters are CWin32DialogView and the
// dialog classes; tests use a fake. Controls are named by their ids in resource.h.

#include <optional>
#include <string>

#include "console/ConsoleUi.h"
#include "settings/TimeServer.h"

// The platform's id of a dialog's OK button.
constexpr int kDialogOk = 1;

class DialogView {
public:
    virtual ~DialogView() = default;

    virtual std::string itemText(int id) const = 0;
    virtual void setItemText(int id, const std::string& text) = 0;
    // Check boxes and radio buttons.
    virtual bool isChecked(int id) const = 0;
    virtual void setChecked(int id, bool checked) = 0;
    // Greys a control out (or back in); a greyed control takes no input.
    virtual void enableItem(int id, bool enabled) = 0;
    virtual void showItem(int id, bool shown) = 0;
    // Gives an edit field the focus with its whole text selected.
    virtual void focusAndSelect(int id) = 0;
    // An up-down control's range and position.
    virtual void setUpDown(int id, int lower, int upper, int position) = 0;
    // Modal, owned by the dialog, with an OK button.
    virtual void showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
    // Ends the dialog with OK (true) or Cancel.
    virtual void endDialog(bool ok) = 0;
};

// The list of the Time Servers dialog and the Add New Server dialog it opens.
class ServerListView {
public:
    virtual ~ServerListView() = default;

    // Whole-row selection, keeping the list's other extended styles.
    virtual void selectWholeRows() = 0;
    // widthPixels at 100 % scale (96 DPI); the view scales it to the window's.
    virtual void addColumn(const std::string& heading, int widthPixels) = 0;
    virtual void deleteAllRows() = 0;
    virtual void insertRow(int index, const std::string& name, const std::string& status) = 0;
    // Highlights the row and scrolls it into view.
    virtual void highlightRow(int index) = 0;
    // The Add New Server dialog, modal; the new entry when it ended with "Add".
    virtual std::optional<CTimeServer> runAddServerDialog() = 0;
};
