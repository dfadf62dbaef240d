// The usage dialog: what the command line accepts. Its texts are not translated.
#pragma once

#include "framework/dialog.h"
#include "res/resource.h"

class CUsageDlg : public CDialog {
public:
    CUsageDlg() : CDialog(IDD_USAGE) {}
};
