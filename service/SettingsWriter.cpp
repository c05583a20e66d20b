#include "service/SettingsWriter.h"

#include "settings/SetupProperties.h"

SettingsWriteOutcome WriteSetupArguments(const std::vector<std::string>& args, ProfileStore& store) {
    std::string bad;
    const std::optional<std::vector<SetupValue>> given = ParseSetupArguments(args, &bad);
    if (!given)
        return {false, "\"" + bad + "\" is not of the form NAME=VALUE."};
    if (given->empty())
        return {false, "no NAME=VALUE given."};
    const SetupCheck check = CheckSetupProperties(*given, EmptyValue::Checked);
    if (!check.settings)
        return {false, check.message};
    CSettings settings(store, {});
    const SystemResult written = ApplySetupSettings(settings, *check.settings);
    if (!written)
        return {false, "the settings file cannot be written (error " + std::to_string(written.nError) + ")."};
    std::string text;
    for (const SetupValue& item : *given)
        text += (text.empty() ? "" : ", ") + item.name + "=" + item.value;
    return {true, text + "."};
}
