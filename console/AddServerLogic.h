#pragma once
// What the Add New Server dialog (template 148) does: it turns the two texts into a user
// entry, and refuses texts that the settings file could not hold. An empty title or address
// or a "~" (the file's field separator) would break the entry at the next load, and the
// load would then rebuild the list without the user's later entries.

#include <optional>
#include <string>

#include "console/ConsoleUi.h"
#include "console/DialogView.h"
#include "settings/TimeServer.h"

// Removes every "http://" and then every "http:\\" (case-sensitive) wherever it stands.
std::string StripHttp(const std::string& url);

class CAddServerLogic {
public:
    static constexpr const char* kEmptyTitleText = "Please enter a title for the server.";
    static constexpr const char* kEmptyUrlText = "Please enter the URL of the server.";
    static constexpr const char* kTildeTitleText = "The title must not contain \"~\".";
    static constexpr const char* kTildeUrlText = "The URL must not contain \"~\".";

    // Both must outlive the instance; app gives the application's title.
    CAddServerLogic(DialogView& view, ConsoleUi& app);

    // The title field gets the focus; the platform's default focus would go to "Add".
    void OnInit();
    // A button press; false when the id is not one of the dialog's own (Cancel is not).
    bool OnCommand(int id);

    // The entry, once "Add" accepted it.
    const std::optional<CTimeServer>& result() const { return m_result; }

private:
    void OnAdd();

    DialogView& m_view;
    ConsoleUi& m_app;
    std::optional<CTimeServer> m_result;
};
