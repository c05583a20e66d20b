#pragma once
// What the Time Servers dialog (template 147) does. It works on a copy of the in-memory
// server list: "Delete Selected", "Add New" and "Restore default" change only that copy,
// OK hands it back and saves it, and Cancel leaves the in-memory list and the file exactly
// as they were. The current row, which OK makes the starting server and "Delete Selected"
// removes, is the highlighted row, whether the mouse or the keyboard moved the highlight.

#include "console/CommandTable.h"
#include "console/ConsoleUi.h"
#include "console/DialogView.h"
#include "settings/Settings.h"
#include "settings/TimeServerList.h"

class CServersLogic {
public:
    static constexpr const char* kLastServerText = "At least one server must be present!";
    static constexpr const char* kUserStatus = "User";
    static constexpr const char* kProgramStatus = "Prog";

    // All must outlive the instance; app gives the application's title.
    CServersLogic(DialogView& view, ServerListView& list, ConsoleUi& app, CSettings& settings);

    void OnInit();
    // A button press; false when the id is not one of the dialog's own (Cancel is not).
    bool OnCommand(int id);
    // A row became highlighted, by a click or a key.
    void OnRowHighlighted(int index);

    const CTimeServerList& working() const { return m_working; }
    int current() const { return m_nCurrent; }

private:
    static const CommandEntry<CServersLogic> kCommands[];

    void OnDelete();
    void OnRestore();
    void OnAdd();
    // Hands the working copy back and saves it; a refused save is shown and keeps the dialog
    // open with the settings in memory unchanged.
    void OnOk();
    // Rebuilds the rows from the working copy and highlights the current one.
    void ShowRows();
    void ShowCurrent();
    // Greys out what the organisation's policy sets (the list's buttons, the choice of the
    // starting row) and shows the note that says so.
    void ShowManaged();
    bool IsRow(int index) const { return index >= 0 && index < m_working.GetCount(); }

    DialogView& m_view;
    ServerListView& m_list;
    ConsoleUi& m_app;
    CSettings& m_settings;
    // A copy of the in-memory list; never loaded or saved itself.
    CTimeServerList m_working;
    int m_nCurrent = 0;
};
