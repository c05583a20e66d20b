// HoraluxSetup.dll: the custom action that the Windows Installer package runs before it
// installs anything. It reads the public properties an administrator gave (the settings' and
// W32TIME), refuses a bad one with a message that names it (the installer's log, and a message
// box in an interactive installation), and hands the good settings to the installed
// HoraluxServ -c through the private property HoraluxWrite, quoted so that every value arrives
// exactly. The package carries the library in its Binary table; it is never installed.

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include "common/ExceptionBarrier.h"
#include "common/UniqueHandle.h"
#include "common/WinHandle_win.h"
#include "service/TimeService_win.h"
#include "settings/SetupProperties.h"

#include <string>
#include <vector>

namespace {

struct MsiHandleTraits {
    using Type = MSIHANDLE;
    static Type empty() { return 0; }
    static void close(Type value) { ::MsiCloseHandle(value); }
};
using UniqueMsiHandle = UniqueHandle<MsiHandleTraits>;

// The property's value; "" when it is not set.
std::string Property(MSIHANDLE install, const char* name) {
    char probe[1] = "";
    DWORD length = 0;
    if (::MsiGetPropertyA(install, name, probe, &length) != ERROR_MORE_DATA) {
        return std::string();
    }
    std::string value(length + 1, '\0');
    DWORD capacity = length + 1;
    if (::MsiGetPropertyA(install, name, value.data(), &capacity) != ERROR_SUCCESS) {
        return std::string();
    }
    value.resize(capacity);
    return value;
}

// An error message for the log and, with a user interface, a message box. The text goes in
// as a field, so that brackets in a value are not read as the installer's formatting.
void ReportError(MSIHANDLE install, const std::string& text) {
    const UniqueMsiHandle record(::MsiCreateRecord(1));
    ::MsiRecordSetStringA(record.get(), 0, "Horalux: [1]");
    ::MsiRecordSetStringA(record.get(), 1, text.c_str());
    ::MsiProcessMessage(install, INSTALLMESSAGE_ERROR, record.get());
}

UINT Check(MSIHANDLE install) {
    std::vector<SetupValue> given;
    for (const char* name : kSetupPropertyNames) {
        given.push_back({name, Property(install, name)});
    }
    const SetupCheck check = CheckSetupProperties(given);
    if (!check.settings) {
        ReportError(install, check.message);
        return ERROR_INSTALL_FAILURE;
    }
    const WindowsTimeCheck windowsTime = CheckWindowsTimeProperty(Property(install, kWindowsTimeProperty));
    if (!windowsTime.choice) {
        ReportError(install, windowsTime.message);
        return ERROR_INSTALL_FAILURE;
    }
    ::MsiSetPropertyA(install, "HoraluxWrite", SetupCommandLine(given).c_str());
    return ERROR_SUCCESS;
}

// The process id of the running service, or 0.
DWORD ServiceProcessId() {
    const UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(
        manager ? ::OpenServiceA(manager.get(), CTimeService::kServiceName, SERVICE_QUERY_STATUS) : nullptr);
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    if (!service || !::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                                            reinterpret_cast<BYTE*>(&status), sizeof status, &size)) {
        return 0;
    }
    return status.dwProcessId;
}

}  // namespace

// Removal: the service manager reports the service stopped a moment before its process has
// ended and released its program file, which the removal of the files could then not delete.
// While the installer plans the removal, this notes the service's process for
// WaitForServiceEnd, which runs once the service is stopped and waits (at most 30 seconds)
// for that process to end.
extern "C" __declspec(dllexport) UINT __stdcall RememberServiceProcess(MSIHANDLE install) {
    CallGuarded(
        [&] {
            if (const DWORD pid = ServiceProcessId()) {
                ::MsiSetPropertyA(install, "WaitForServiceEnd", std::to_string(pid).c_str());
            }
        },
        [&](const char* what) {
            ReportError(install, std::string("looking for the service failed: ") + what);
        });
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall WaitForServiceEnd(MSIHANDLE install) {
    CallGuarded(
        [&] {
            const std::string pid = Property(install, "CustomActionData");
            const DWORD id = pid.empty() ? 0 : static_cast<DWORD>(std::stoul(pid));
            const UniqueKernelHandle process(id != 0 ? ::OpenProcess(SYNCHRONIZE, FALSE, id) : nullptr);
            if (process) {
                ::WaitForSingleObject(process.get(), 30000);
            }
        },
        [&](const char* what) {
            ReportError(install, std::string("waiting for the service failed: ") + what);
        });
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall CheckProperties(MSIHANDLE install) {
    UINT result = ERROR_INSTALL_FAILURE;
    CallGuarded([&] { result = Check(install); },
                [&](const char* what) { ReportError(install, std::string("the check failed: ") + what); });
    return result;
}
