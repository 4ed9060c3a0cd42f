#pragma once
// The launcher's few message boxes: task-modal, no owner window, shown with the wide function so
// that the interface language's text appears whole whatever the process code page.
#include <string>

#include "platform/win32.h"

// Shows text under caption (both UTF-8) with flags and waits for the user; the answer as
// MessageBoxW gives it (0 when the box could not be shown).
int showMessageBox(const std::string& text, const std::string& caption, UINT flags);

struct MessageBoxDialog {
    std::string caption;  // UTF-8
    std::string text;     // UTF-8
    UINT buttons = 0;     // MB_OK, MB_YESNO, ...
    UINT icon = 0;        // MB_ICONINFORMATION, ...

    // The caption is string-table entry 115 of module ("" when it cannot be read).
    explicit MessageBoxDialog(HMODULE module);

    // Shows the box (task-modal) and waits for the user. Answers IDOK (1) to IDNO (7) as the system
    // reports them; 0 when the box could not be shown or was closed with any other answer.
    int show() const;
};
