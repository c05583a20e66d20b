#include "service/SettingsWriter.h"

#include "common/ProductFacts.h"
#include "engine/FileStore.h"
#include "settings/RedirectedProfileStore.h"
#include "settings/Win32ProfileStore.h"
#include "settings/WorkingDirectory.h"

#include <windows.h>

namespace {

// Writes into a copy of target (a missing target gives an empty copy) and moves the copy over
// target, so a crash leaves the old file or the new one.
SettingsWriteOutcome WriteThroughCopy(const std::vector<std::string>& args, const std::string& target) {
    const std::string scratch = target + ".new";
    ::DeleteFileA(scratch.c_str());
    if (!::CopyFileA(target.c_str(), scratch.c_str(), FALSE) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return {false,
                "the settings file cannot be copied (error " + std::to_string(::GetLastError()) + ")."};
    CWin32ProfileStore profiles;
    CRedirectedProfileStore store(profiles, kSettingsFileName, scratch);
    SettingsWriteOutcome outcome = WriteSetupArguments(args, store);
    std::string bytes;
    if (outcome.bWritten &&
        (!ReadFileContents(scratch, bytes) || ReplaceFileContents(target, bytes) != FileWriteResult::Written))
        outcome = {false, "the settings file cannot be replaced."};
    ::DeleteFileA(scratch.c_str());
    return outcome;
}

}  // namespace

bool WriteSettingsFile(const std::vector<std::string>& args, const CHostReporter& reporter) {
    const std::string directory = WindowsDirectory();
    const SettingsWriteOutcome outcome =
        directory.empty() ? SettingsWriteOutcome{false, "the Windows directory is unknown."}
                          : WriteThroughCopy(args, directory + "\\" + kSettingsFileName);
    if (outcome.bWritten) {
        reporter.report(HostText::SettingsWritten, {outcome.text});
    } else {
        reporter.report(HostText::SettingsRefused, {outcome.text});
        reporter.report(HostText::SettingsRefusedOut, {outcome.text});
    }
    return outcome.bWritten;
}
