#include "platform/message_box.h"

#include "platform/resource.h"
#include "platform/tstrings.h"
#include "string_ids.h"

namespace {
constexpr UINT kCaptionId = IDS_WARNING_CAPTION;
constexpr size_t kCaptionCapacity = 256;
}  // namespace

int showMessageBox(const std::string& text, const std::string& caption, UINT flags) {
    return MessageBoxW(nullptr, tstrings::toUtf16(text).c_str(), tstrings::toUtf16(caption).c_str(), flags);
}

MessageBoxDialog::MessageBoxDialog(HMODULE module)
    : caption(loadStringUtf8(module, kCaptionId, kCaptionCapacity)) {}

int MessageBoxDialog::show() const {
    const int answer = showMessageBox(text, caption, buttons | icon | MB_TASKMODAL);
    return answer >= IDOK && answer <= IDNO ? answer : 0;
}
