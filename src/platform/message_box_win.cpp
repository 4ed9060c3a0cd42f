#include "platform/message_box.h"

#include "platform/resource.h"

namespace {
constexpr UINT kCaptionId = 115;
}

MessageBoxDialog::MessageBoxDialog(HMODULE module) : caption(StringResource(kCaptionId, module).string("")) {}

int MessageBoxDialog::show() const {
    const int answer = MessageBoxA(nullptr, text.c_str(), caption.c_str(), buttons | icon | MB_TASKMODAL);
    return answer >= IDOK && answer <= IDNO ? answer : 0;
}
