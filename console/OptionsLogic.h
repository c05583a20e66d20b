#pragma once
// What the Options dialog (template 131) does: it edits its own copies of the scalar
// settings and hands them back to the in-memory settings, and saves them, only on OK.
// "Restore Default" fills the fields with the defaults without touching the settings, so
// Cancel leaves memory and file as they were.

#include "console/CommandTable.h"
#include <optional>
#include <string>

#include "console/ConsoleUi.h"
#include "console/DialogView.h"
#include "settings/OptionTable.h"
#include "settings/Settings.h"

// The dialog's copies of the settings, in the dialog's terms.
struct OptionsFields {
    // Index of the chosen mode button, -1 for none.
    int nMode = OptionDefault(&CSettings::m_nSynPeriod);
    int nMinutes = 0;  // whole minutes of the clock shift
    int nAttempts = OptionDefault(&CSettings::m_nMaxAttempts);
    int nSeconds = 0;    // seconds of the clock shift
    int nDirection = 0;  // 0 "Ahead (+)", 1 "Backward (-)"
    int bOnlySuccess = 0;
    int nLogLines = OptionDefault(&CSettings::m_nLogFileLen);
    // Not shown; kept so that OK after "Restore Default" stores it too.
    int nTimeOut = OptionDefault(&CSettings::m_nTimeOut);
};

// The leading integer of a field as the C library's "%d" reads it: of the first 63
// characters, white space is skipped, then an optional sign and decimal digits; the rest is
// ignored. Nothing when no digit follows. Values beyond the int range are clamped to it.
std::optional<int> ReadDialogInteger(const std::string& text);

class COptionsLogic {
public:
    static constexpr const char* kNotIntegerText = "Please enter an integer.";

    // All three must outlive the instance; app gives the application's title and opens help.
    COptionsLogic(DialogView& view, ConsoleUi& app, CSettings& settings);

    void OnInit();
    // A button press; false when the id is not one of the dialog's own (Cancel is not).
    bool OnCommand(int id);
    void OpenHelp();

    // The fields from the settings, then into the controls.
    void LoadFromSettings(const CSettings& settings);

    const OptionsFields& fields() const { return m_fields; }

private:
    static const CommandEntry<COptionsLogic> kCommands[];

    void OnRestoreDefaults();
    void OnStoreAndShow();
    // Stores the fields and saves the settings; a refused save is shown and keeps the dialog
    // open with the settings in memory unchanged.
    void OnOk();
    void StoreFields(CSettings& settings) const;
    // Reads the controls into the fields; on the first failing field shows its message,
    // focuses it, leaves the fields as they were and returns false.
    bool ReadFields();
    void ShowFields();
    // Greys out the controls of the settings the organisation's policy manages and shows the
    // note that says so.
    void ShowManaged();
    void Warn(const std::string& text);

    DialogView& m_view;
    ConsoleUi& m_app;
    CSettings& m_settings;
    OptionsFields m_fields;
};
