#pragma once
// The About box (template 151): a picture, the version line and OK. Include only from
// Windows-only files.

#include "console/DialogBase_win.h"
#include "console/resource.h"

class CAboutDlg final : public CDialogBase {
public:
    CAboutDlg() : CDialogBase(IDD_ABOUT) {}
};
