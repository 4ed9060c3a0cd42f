// The install configuration's system access on Windows.
#include "config/config_host.h"
#include "platform/access_rules.h"
#include "platform/file_links.h"
#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/message_box.h"
#include "platform/resource.h"
#include "platform/tstrings.h"
#include "platform/win_errors.h"

#include <shellapi.h>

namespace {

class Win32ConfigHost : public IConfigHost {
public:
    bool splitCommandLine(const std::wstring& commandLine, std::vector<std::string>& arguments) override {
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &count);
        const unique_hlocal owner(reinterpret_cast<HLOCAL>(argv));
        if (argv == nullptr) {
            const DWORD code = GetLastError();
            LAUNCHER_LOG(ERROR, "InstallConfigData::LoadConfigSettings",
                         tstrings::format("%s failed with %s", "CommandLineToArgvW", describeSystemError(code).c_str()));
            return false;
        }
        for (int i = 0; i < count; ++i) arguments.push_back(tstrings::toUtf8(argv[i]));
        return true;
    }

    std::string loadMessage(const void* module, unsigned id, size_t capacity) override {
        return loadStringUtf8(static_cast<HMODULE>(const_cast<void*>(module)), id, capacity);
    }

    void showErrorBox(const std::string& title, const std::string& text) override {
        showMessageBox(text, title, MB_ICONERROR);
    }

    // Through a handle of the name itself, checked first: DeleteFile on a link removes what it leads
    // to under Wine, and a link swapped in since the folders were checked must not cost that file.
    void deleteFile(const std::string& path) override {
        const unique_handle file(CreateFileW(tstrings::toUtf16(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file) return;
        FILE_ATTRIBUTE_TAG_INFO tag{};
        const bool reparsePoint = !GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
                                  (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (reparsePoint || reachedThroughLink(file.get(), path)) {
            LAUNCHER_LOG(ERROR, "InstallConfigData::exportSettings", "File is a link, not removed: " << path);
            return;
        }
        FILE_DISPOSITION_INFO disposition{TRUE};
        SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition);
    }

    bool utf8ToAnsi(const std::string& text, std::string& out) override {
        if (tstrings::utf8ToMultiByteExact(text, out)) return true;
        out = tstrings::utf8ToMultiByte(text);
        return false;
    }

    std::string othersWhoMayChange(const std::string& path) override { return untrustedWritersOf(path); }
};

}  // namespace

IConfigHost& systemConfigHost() {
    static Win32ConfigHost host;
    return host;
}
