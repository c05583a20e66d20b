#pragma once
// A test fixture for HoraluxCons.exe, with HoraluxServ.exe as a process (-d) beside it when a
// test asks, both on a desktop of their own. Both programs are ended, and the log and the
// record removed, when the test ends, also when it fails.

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "common/ProductFacts.h"
#include "tools/kit/ChildProcess_win.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/UiDriver_win.h"

inline void WriteText(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class CConsoleSession : public ::testing::Test {
protected:
    void SetUp() override {
        ::DeleteFileA(log.c_str());
        static int s_nDesktops = 0;  // a fresh name for each test of this process
        desktop = std::make_unique<ui_driver::CTestDesktop>(
            "horalux-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++s_nDesktops));
        ASSERT_TRUE(desktop->ready());
    }

    void TearDown() override {
        console.terminate();
        service.terminate();
        desktop.reset();
        ::DeleteFileA(log.c_str());
        ::DeleteFileA(WindowsFile(kRecordFileName).c_str());
    }

    // arguments: words the console ignores, to tell its process apart.
    HWND startConsole(const std::string& arguments = "") {
        if (!desktop->start(console, "\"" + ConsoleExePath() + "\" " + arguments)) {
            return nullptr;
        }
        return ui_driver::waitForWindow("Horalux Clock Service Console", console.pid());
    }

    // Once its control window is up.
    bool startService() {
        return desktop->start(service, "\"" + ServiceExePath() + "\" -d") && WaitForExecWindow() != nullptr;
    }

    // Presses a button that opens a message box, checks the box and closes it.
    void expectBox(HWND dialog, int button, const std::string& caption, const std::string& text) {
        ui_driver::clickAsync(dialog, button);
        HWND box = ui_driver::waitForMessageBox(caption, console.pid());
        ASSERT_NE(box, nullptr) << "no box captioned " << caption << " for: " << text;
        EXPECT_EQ(ui_driver::messageBoxText(box), text);
        EXPECT_TRUE(ui_driver::dismiss(box));
    }

    const std::string ini = WindowsFile(kSettingsFileName);
    const std::string log = WindowsFile(kLogFileName);
    std::unique_ptr<ui_driver::CTestDesktop> desktop;
    CChildProcess console;
    CChildProcess service;
};
