#include "console/OptionsLogic.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstddef>

#include "common/ProductFacts.h"
#include "console/ConsoleLogic.h"
#include "console/FileErrorText.h"
#include "console/resource.h"
#include "settings/PolicyTable.h"
#include "settings/SyncMode.h"

namespace {

constexpr std::size_t kIntegerFieldChars = 63;
constexpr const char* kRangeText = "Please enter an integer between %1 and %2.";

// A control with an integer field and its bounds.
struct BoundedField {
    int control;
    int OptionsFields::*field;
    OptionRange range;
};

// The offset in the dialog's terms: whole minutes either way, and the seconds of a minute.
constexpr OptionRange kMinutesRange{-kMaxOffsetMinutes, kMaxOffsetMinutes};
constexpr OptionRange kSecondsRange{0, kSecondsPerMinute - 1};
constexpr OptionRange kAttemptsRange = OptionRangeOf(&CSettings::m_nMaxAttempts);

// The edit fields read as integers, in the order of the data exchange; the first that
// fails stops it.
const BoundedField kIntegerFields[] = {
    {IDC_MINUTES, &OptionsFields::nMinutes, kMinutesRange},
    {IDC_ATTEMPTS, &OptionsFields::nAttempts, kAttemptsRange},
    {IDC_SECONDS, &OptionsFields::nSeconds, kSecondsRange},
    {IDC_LOG_LINES, &OptionsFields::nLogLines, OptionRangeOf(&CSettings::m_nLogFileLen)},
};

// A radio group whose field is the index of the chosen button, -1 for none.
struct RadioGroup {
    int OptionsFields::*field;
    const int* buttons;
    std::size_t count;
};

// The mode buttons in the order of the mode values (SyncMode.h).
const int kModeButtons[] = {IDC_MODE_DAILY, IDC_MODE_ON_START, IDC_MODE_HOURLY, IDC_MODE_ON_DEMAND,
                            IDC_MODE_CONTINUOUS};
static_assert(std::size(kModeButtons) == kSyncModes.size());
const int kDirectionButtons[] = {IDC_AHEAD, IDC_BACKWARD};
constexpr int kBackward = 1;

const RadioGroup kRadioGroups[] = {
    {&OptionsFields::nMode, kModeButtons, std::size(kModeButtons)},
    {&OptionsFields::nDirection, kDirectionButtons, std::size(kDirectionButtons)},
};

// The arrows cover less than the minutes field accepts typed in: 0 to 10.
const BoundedField kUpDowns[] = {
    {IDC_MINUTES_SPIN, &OptionsFields::nMinutes, {0, kMaxOffsetMinutes}},
    {IDC_SECONDS_SPIN, &OptionsFields::nSeconds, kSecondsRange},
    {IDC_ATTEMPTS_SPIN, &OptionsFields::nAttempts, kAttemptsRange},
};

// The controls that show each setting, greyed out while the organisation's policy sets it.
struct SettingControls {
    int CSettings::*field;
    const int* ids;
    std::size_t count;
};

const int kOffsetControls[] = {IDC_AHEAD,        IDC_BACKWARD, IDC_MINUTES,
                               IDC_MINUTES_SPIN, IDC_SECONDS,  IDC_SECONDS_SPIN};
const int kAttemptsControls[] = {IDC_ATTEMPTS, IDC_ATTEMPTS_SPIN};
const int kOnlySuccessControls[] = {IDC_ONLY_SUCCESS};
const int kLogLinesControls[] = {IDC_LOG_LINES};

const SettingControls kSettingControls[] = {
    {&CSettings::m_nSynPeriod, kModeButtons, std::size(kModeButtons)},
    {&CSettings::m_nOffset, kOffsetControls, std::size(kOffsetControls)},
    {&CSettings::m_nMaxAttempts, kAttemptsControls, std::size(kAttemptsControls)},
    {&CSettings::m_bOnlySuccLog, kOnlySuccessControls, std::size(kOnlySuccessControls)},
    {&CSettings::m_nLogFileLen, kLogLinesControls, std::size(kLogLinesControls)},
};

// Puts back into target every setting the policy manages, as policy holds it.
void KeepManaged(CSettings& target, const CSettings& policy) {
    for (const OptionKey& option : kOptionKeys) {
        if (policy.IsManaged(option.field)) {
            target.*(option.field) = policy.*(option.field);
        }
    }
}

std::string RangeText(const OptionRange& range) {
    std::string text = kRangeText;
    text.replace(text.find("%1"), 2, std::to_string(range.lower));
    text.replace(text.find("%2"), 2, std::to_string(range.upper));
    return text;
}

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

std::optional<int> ReadDialogInteger(const std::string& text) {
    const std::string head = text.substr(0, kIntegerFieldChars);
    std::size_t i = 0;
    while (i < head.size() && IsSpace(head[i])) {
        ++i;
    }
    const bool negative = i < head.size() && head[i] == '-';
    if (i < head.size() && (head[i] == '-' || head[i] == '+')) {
        ++i;
    }
    if (i >= head.size() || !IsDigit(head[i])) {
        return std::nullopt;
    }
    constexpr long long kBeyond = static_cast<long long>(INT_MAX) + 2;  // enough to clamp either way
    long long magnitude = 0;
    for (; i < head.size() && IsDigit(head[i]); ++i) {
        magnitude = std::min(magnitude * 10 + (head[i] - '0'), kBeyond);
    }
    return static_cast<int>(std::clamp(negative ? -magnitude : magnitude, static_cast<long long>(INT_MIN),
                                       static_cast<long long>(INT_MAX)));
}

const CommandEntry<COptionsLogic> COptionsLogic::kCommands[] = {
    {kDialogOk, &COptionsLogic::OnOk},
    {IDC_RESTORE_DEFAULTS, &COptionsLogic::OnRestoreDefaults},
    {IDC_OPTIONS_HELP, &COptionsLogic::OpenHelp},
    // Of the mode buttons only these two check and redisplay the fields.
    {IDC_MODE_DAILY, &COptionsLogic::OnStoreAndShow},
    {IDC_MODE_HOURLY, &COptionsLogic::OnStoreAndShow},
};

COptionsLogic::COptionsLogic(DialogView& view, ConsoleUi& app, CSettings& settings)
    : m_view(view), m_app(app), m_settings(settings) {}

void COptionsLogic::OnInit() {
    LoadFromSettings(m_settings);
    for (const BoundedField& upDown : kUpDowns) {
        m_view.setUpDown(upDown.control, upDown.range.lower, upDown.range.upper, m_fields.*(upDown.field));
    }
    // Setting a position writes the buddy's text, clamped to the arrows' range.
    ShowFields();
    ShowManaged();
}

void COptionsLogic::ShowManaged() {
    bool bAnyManaged = false;
    for (const SettingControls& setting : kSettingControls) {
        const bool bManaged = m_settings.IsManaged(setting.field);
        bAnyManaged = bAnyManaged || bManaged;
        for (std::size_t i = 0; i < setting.count; ++i) {
            m_view.enableItem(setting.ids[i], !bManaged);
        }
    }
    m_view.showItem(IDC_POLICY_NOTE, bAnyManaged);
}

bool COptionsLogic::OnCommand(int id) {
    return DispatchCommand(*this, kCommands, id);
}

void COptionsLogic::OpenHelp() {
    m_app.shellOpen(kHelpFileName);
}

void COptionsLogic::LoadFromSettings(const CSettings& settings) {
    m_fields.nLogLines = settings.m_nLogFileLen;
    m_fields.nMode = settings.m_nSynPeriod;
    const long long offset = settings.m_nOffset;  // wide enough to negate INT_MIN
    m_fields.nDirection = offset < 0 ? kBackward : 0;
    const long long shift = offset < 0 ? -offset : offset;
    m_fields.nMinutes = static_cast<int>(shift / kSecondsPerMinute);
    m_fields.nSeconds = static_cast<int>(shift % kSecondsPerMinute);
    m_fields.nAttempts = settings.m_nMaxAttempts;
    m_fields.bOnlySuccess = settings.m_bOnlySuccLog;
    m_fields.nTimeOut = settings.m_nTimeOut;
    ShowFields();
}

void COptionsLogic::OnRestoreDefaults() {
    // The defaults go into the fields only: Cancel must leave the settings as they were.
    // What the policy sets stays as it is.
    CSettings defaults(m_settings);
    defaults.SetDefaults();
    KeepManaged(defaults, m_settings);
    LoadFromSettings(defaults);
}

void COptionsLogic::OnStoreAndShow() {
    if (ReadFields()) {
        ShowFields();
    }
}

void COptionsLogic::OnOk() {
    if (!ReadFields()) {
        return;
    }
    // Saved from a copy: a refused save leaves the settings in memory as they were and the
    // dialog open, so the user can try again or cancel, and the service is told nothing.
    CSettings edited(m_settings);
    StoreFields(edited);
    KeepManaged(edited, m_settings);
    const SystemResult saved = edited.Save();  // leaves out what the policy manages
    if (!saved) {
        m_view.showMessageBox(FileErrorText(saved.nError, edited.m_strFileName), m_app.applicationTitle(),
                              MessageIcon::Error);
        return;
    }
    StoreFields(m_settings);
    KeepManaged(m_settings, edited);
    m_view.endDialog(true);
}

void COptionsLogic::StoreFields(CSettings& settings) const {
    const long long shift = static_cast<long long>(m_fields.nMinutes) * kSecondsPerMinute + m_fields.nSeconds;
    settings.m_nLogFileLen = m_fields.nLogLines;
    settings.m_nSynPeriod = m_fields.nMode;
    settings.m_nOffset = static_cast<int>(m_fields.nDirection == kBackward ? -shift : shift);
    settings.m_nMaxAttempts = m_fields.nAttempts;
    settings.m_bOnlySuccLog = m_fields.bOnlySuccess;
    settings.m_nTimeOut = m_fields.nTimeOut;
}

bool COptionsLogic::ReadFields() {
    OptionsFields read = m_fields;
    for (const RadioGroup& group : kRadioGroups) {
        const int* chosen = std::find_if(group.buttons, group.buttons + group.count,
                                         [this](int button) { return m_view.isChecked(button); });
        read.*(group.field) =
            chosen == group.buttons + group.count ? -1 : static_cast<int>(chosen - group.buttons);
    }
    read.bOnlySuccess = m_view.isChecked(IDC_ONLY_SUCCESS) ? 1 : 0;
    for (const BoundedField& field : kIntegerFields) {
        const std::optional<int> value = ReadDialogInteger(m_view.itemText(field.control));
        if (!value || *value < field.range.lower || *value > field.range.upper) {
            Warn(value ? RangeText(field.range) : kNotIntegerText);
            m_view.focusAndSelect(field.control);
            return false;
        }
        read.*(field.field) = *value;
    }
    m_fields = read;
    return true;
}

void COptionsLogic::ShowFields() {
    for (const BoundedField& field : kIntegerFields) {
        m_view.setItemText(field.control, std::to_string(m_fields.*(field.field)));
    }
    for (const RadioGroup& group : kRadioGroups) {
        for (std::size_t i = 0; i < group.count; ++i) {
            m_view.setChecked(group.buttons[i], m_fields.*(group.field) == static_cast<int>(i));
        }
    }
    m_view.setChecked(IDC_ONLY_SUCCESS, m_fields.bOnlySuccess != 0);
}

void COptionsLogic::Warn(const std::string& text) {
    m_view.showMessageBox(text, m_app.applicationTitle(), MessageIcon::Warning);
}
