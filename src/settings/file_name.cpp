#include "settings/file_name.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "settings/exception.h"
#include "settings/file_system.h"
#include "settings/utf8.h"

namespace settings_impl {

namespace {

using settings::Exception;
namespace status = settings::status;

constexpr size_t kMaxPathBytes = 260;  // a name must stay below it

const std::vector<std::string>& reservedNames() {
    static const std::vector<std::string> names = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    return names;
}

bool isForbidden(unsigned char c) { return c < 32 || std::strchr("<>:\"|?*/\\", c) != nullptr; }

bool isValidComponent(const std::string& part) {
    const auto& reserved = reservedNames();
    if (std::find(reserved.begin(), reserved.end(), part) != reserved.end()) return false;
    return std::none_of(part.begin(), part.end(), [](char c) { return isForbidden(static_cast<unsigned char>(c)); });
}

std::string join(const std::vector<std::string>& parts) {
    std::string text;
    for (const auto& part : parts) {
        if (!text.empty()) text += '/';
        text += part;
    }
    return text;
}

}  // namespace

FileName::FileName(const std::string& utf8) : utf8Text(utf8) {
    if (!utf8.empty()) {
        if (!isWellFormedUtf8(utf8)) throw Exception(status::FileNameNotUtf8, "file name");
        if (utf8.size() >= kMaxPathBytes) throw Exception(status::FileNameTooLong, utf8);
        const Components c = split(utf8);
        for (size_t i = c.drive ? 1 : 0; i < c.parts.size(); ++i) {
            if (!isValidComponent(c.parts[i])) throw Exception(status::FileNameInvalid, utf8);
        }
    }
    utf16Text = utf8ToUtf16(utf8);
}

bool FileName::isDriveDesignator(const std::string& piece) {
    if (piece.size() != 2 || piece[1] != ':') return false;
    const char c = piece[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

FileName::Components FileName::split(const std::string& text) {
    if (text.empty()) throw Exception(status::FileNameInvalid, "empty file name");
    Components c;
    size_t start = 0;
    bool first = true;
    for (;;) {
        const size_t end = text.find_first_of("\\/", start);
        std::string piece = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (first) c.drive = isDriveDesignator(piece);
        first = false;
        if (!piece.empty() && piece != ".") c.parts.push_back(std::move(piece));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return c;
}

FileName FileName::canonicalize() const {
    if (canonical) return *this;
    Components c = split();
    std::vector<std::string> parts;
    if (!c.drive) {
        const std::string cwd = fileSystem().currentDirectory();
        Components base = cwd.empty() ? Components{} : split(cwd);
        if (!base.drive) throw Exception(status::Internal, "current directory without drive: " + cwd);
        parts = std::move(base.parts);
    }
    parts.insert(parts.end(), c.parts.begin(), c.parts.end());
    for (auto it = std::find(parts.begin(), parts.end(), ".."); it != parts.end();
         it = std::find(parts.begin(), parts.end(), "..")) {
        // parts[0] is always the drive: ".." never climbs above it.
        if (it - parts.begin() <= 1) throw Exception(status::FileNameInvalid, "\"..\" above the root of " + utf8Text);
        it = parts.erase(it - 1, it + 1);
    }
    if (parts.empty()) throw Exception(status::FileNameInvalid, "no component in " + utf8Text);
    FileName result(join(parts));
    result.canonical = true;
    return result;
}

void FileName::createDirectories() const {
    if (!canonical) throw std::logic_error("canonicalized file name expected");
    const Components c = split();
    if (c.parts.size() <= 2) return;  // only the drive (or first component) and the file itself
    IFileSystem& fs = fileSystem();
    std::string prefix = c.parts[0];
    for (size_t i = 1; i + 1 < c.parts.size(); ++i) {
        prefix += '/';
        prefix += c.parts[i];
        const FileName dir(prefix);
        if (fs.exists(dir)) continue;
        if (fs.createDirectory(dir) == DirectoryResult::Failed) {
            throw Exception(status::FileNameInvalid, "cannot create directory " + prefix);
        }
    }
}

}  // namespace settings_impl
