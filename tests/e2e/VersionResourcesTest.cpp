// What Windows' file Properties and inventory tools read from the files we ship: the version
// resource of both programs, the setup library and the installer, and the MSI's summary, all
// filled from the one version source (common/ProductFacts.h, made from the project's version).

#include <windows.h>

#include <msi.h>
#include <msidefs.h>
#include <msiquery.h>
#include <wtypes.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/ProductFacts.h"
#include "tests/e2e/InstalledProduct_win.h"

namespace {

using Fields = std::map<std::string, std::string>;

// The fields every file of ours carries, and the ones that name the file itself.
Fields CommonFields(const char* description) {
    return {{"CompanyName", HORALUX_COMPANY_NAME}, {"FileDescription", description},
            {"FileVersion", HORALUX_VERSION_TEXT}, {"LegalCopyright", HORALUX_COPYRIGHT},
            {"ProductName", HORALUX_PRODUCT_NAME}, {"ProductVersion", HORALUX_VERSION_TEXT}};
}

Fields OwnFields(const char* stem, const char* extension, const char* description) {
    Fields fields = CommonFields(description);
    fields["InternalName"] = stem;
    fields["OriginalFilename"] = std::string(stem) + extension;
    return fields;
}

struct ShippedFile {
    std::string path;
    DWORD fileType;
    Fields fields;
};

std::vector<ShippedFile> ShippedFiles() {
    const std::string ship = std::string(HORALUX_SHIP_DIR) + "/";
    return {{ship + "HoraluxServ.exe", VFT_APP, OwnFields("HoraluxServ", ".exe", "Horalux Clock Service")},
            {ship + "HoraluxCons.exe", VFT_APP,
             OwnFields("HoraluxCons", ".exe", "Horalux Clock Service Console")},
            {ship + "HoraluxSetup.dll", VFT_DLL,
             OwnFields("HoraluxSetup", ".dll", "Horalux Clock Service setup actions")},
            {HORALUX_INSTALLER, VFT_APP, CommonFields(HORALUX_PRODUCT_NAME " Setup")}};
}

TEST(VersionResources, EveryShippedProgramNamesItsMakerItselfAndItsVersion) {
    for (const ShippedFile& file : ShippedFiles()) {
        SCOPED_TRACE(file.path);
        const std::string path = OnDriveZ(file.path);
        DWORD handle = 0;
        std::vector<char> info(::GetFileVersionInfoSizeA(path.c_str(), &handle));
        ASSERT_FALSE(info.empty());
        ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        const DWORD version = MAKELONG(HORALUX_VERSION_MINOR, HORALUX_VERSION_MAJOR);
        EXPECT_EQ(fixed->dwFileVersionMS, version);
        EXPECT_EQ(fixed->dwProductVersionMS, version);
        EXPECT_EQ(fixed->dwFileType, file.fileType);

        // US English in the Windows Latin code page, the one translation Properties shows.
        WORD* translation = nullptr;
        ASSERT_TRUE(::VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                                     reinterpret_cast<void**>(&translation), &length));
        ASSERT_GE(length, 4u);
        char block[64];
        std::snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
        for (const auto& [key, expected] : file.fields) {
            char* value = nullptr;
            const bool bFound = ::VerQueryValueA(info.data(), (block + key).c_str(),
                                                 reinterpret_cast<void**>(&value), &length) != FALSE;
            EXPECT_TRUE(bFound) << key;
            EXPECT_EQ(bFound ? std::string(value) : std::string(), expected) << key;
        }
    }
}

std::string SummaryText(MSIHANDLE summary, UINT property) {
    char value[512] = {};
    DWORD size = sizeof value;
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    if (::MsiSummaryInfoGetPropertyA(summary, property, &type, &number, &time, value, &size) !=
            ERROR_SUCCESS ||
        type != VT_LPSTR) {
        return "<none>";
    }
    return value;
}

TEST(VersionResources, TheMsiSummaryNamesTheMakerTheProductAndItsVersion) {
    MSIHANDLE summary = 0;
    ASSERT_EQ(::MsiGetSummaryInformationA(0, OnDriveZ(HORALUX_MSI).c_str(), 0, &summary), ERROR_SUCCESS);
    const std::string product = std::string(HORALUX_PRODUCT_NAME) + " " + HORALUX_VERSION_TEXT;
    EXPECT_EQ(SummaryText(summary, PID_AUTHOR), HORALUX_COMPANY_NAME);
    EXPECT_EQ(SummaryText(summary, PID_SUBJECT), product);
    const std::string comments = SummaryText(summary, PID_COMMENTS);
    EXPECT_EQ(comments.rfind(product + ":", 0), 0u) << comments;
    EXPECT_NE(comments.find(HORALUX_COPYRIGHT), std::string::npos) << comments;
    EXPECT_NE(SummaryText(summary, PID_KEYWORDS).find(HORALUX_PRODUCT_NAME), std::string::npos);
    ::MsiCloseHandle(summary);
}

}  // namespace
