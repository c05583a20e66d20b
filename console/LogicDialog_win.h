#pragma once
// A modal dialog whose decisions all live in a portable logic class: the dialog hands the
// logic its view, starts it when the window exists and passes it the button clicks.
// Include only from Windows-only files.

#include <utility>

#include "console/DialogBase_win.h"
#include "console/Win32DialogView_win.h"

template <typename Logic>
class CLogicDialog : public CDialogBase {
protected:
    // The logic receives the view first, then args.
    template <typename... Args>
    CLogicDialog(int templateId, Args&&... args)
        : CDialogBase(templateId), m_logic(m_view, std::forward<Args>(args)...) {}

    bool OnInit() override {
        m_view.attach(GetHwnd());
        m_logic.OnInit();
        return true;
    }

    bool OnCommand(int id, int notifyCode) override {
        if (notifyCode == BN_CLICKED && m_logic.OnCommand(id)) {
            return true;
        }
        return CDialogBase::OnCommand(id, notifyCode);  // Cancel and Escape end the dialog
    }

    CWin32DialogView m_view;
    Logic m_logic;
};
