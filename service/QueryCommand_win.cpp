#include "service/QueryCommand.h"

#include <windows.h>

#include <memory>

#include "common/Win32SystemError_win.h"
#include "common/WinHandle_win.h"
#include "engine/ServerQuery.h"
#include "engine/Win32EnginePorts_win.h"
#include "settings/Win32PolicySource.h"
#include "settings/Win32ProfileStore.h"
#include "sntp/NameLookup.h"
#include "sntp/SocketTransport.h"
#include "sntp/SteadyClock.h"
#include "sntp/Win32SystemClock_win.h"

namespace {

// Where the lines go: the standard output when it leads somewhere (a file or a pipe, as when
// redirected), else the console of the command prompt that started the program. A windowed
// program gets neither from Windows by itself; under Wine it inherits the standard output of a
// terminal or of wine's cmd. With neither, nothing is seen.
class CQueryOutput {
public:
    CQueryOutput() {
        const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
        if (output != nullptr && output != INVALID_HANDLE_VALUE &&
            ::GetFileType(output) != FILE_TYPE_UNKNOWN) {
            m_hTarget = output;
        } else if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
            m_hConsole.reset(::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
            m_hTarget = m_hConsole.get();
        }
    }

    void Print(const std::string& line) const {
        if (m_hTarget == INVALID_HANDLE_VALUE) {
            return;
        }
        const std::string text = line + "\r\n";
        DWORD written = 0;
        ::WriteFile(m_hTarget, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

private:
    UniqueFileHandle m_hConsole;
    HANDLE m_hTarget = INVALID_HANDLE_VALUE;
};

}  // namespace

int RunQueryCommand(const ServiceCommand& command) {
    const CQueryOutput output;
    const CWin32ProfileStore store;
    const CWin32PolicySource policy;
    const CWin32SystemClock clock;
    const CWin32LocalClock localClock;
    CSteadyClock steady;
    CSocketTransport sockets(steady);
    CHostResolver resolver(std::make_shared<CSystemNameLookup>(), steady);
    CServerQuery query(QueryPorts{clock, localClock, steady, sockets, resolver,
                                  [&output](const std::string& line) { output.Print(line); },
                                  [](int code) { return SystemErrorText(static_cast<DWORD>(code)); }});
    return query.RunCommand(command.queryServer, command.sampleCount, store, &policy);
}
