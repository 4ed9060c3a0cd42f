#pragma once
// The launcher's few message boxes: task-modal, no owner window.
#include <string>

#include "platform/win32.h"

struct MessageBoxDialog {
    std::string caption;
    std::string text;
    UINT buttons = 0;  // MB_OK, MB_YESNO, ...
    UINT icon = 0;     // MB_ICONINFORMATION, ...

    // The caption is string-table entry 115 of module ("" when it cannot be read).
    explicit MessageBoxDialog(HMODULE module);

    // Shows the box and waits for the user. Answers IDOK (1) to IDNO (7) as MessageBoxA reports
    // them; 0 when the box could not be shown or was closed with any other answer.
    int show() const;
};
