#pragma once
// A path that the settings library may hand to the system: checked against the Windows file-name
// rules, kept as UTF-8 and as UTF-16, and optionally made canonical (absolute, "..", "." and empty
// components resolved, joined with "/").
#include <string>
#include <vector>

namespace settings_impl {

class FileName {
public:
    struct Components {
        std::vector<std::string> parts;  // without empty and "." components
        bool drive = false;              // the first piece was a drive designator such as "C:"
    };

    // Checks the text; the empty text is accepted and fails in any operation that splits it.
    // settings::Exception 312 (not UTF-8), 310 (260 bytes or longer), 311 (reserved name or
    // forbidden character in a component), 200 (no UTF-16 form).
    explicit FileName(const std::string& utf8);

    const std::string& text() const { return utf8Text; }
    const std::wstring& wideText() const { return utf16Text; }
    bool isCanonical() const { return canonical; }

    // Components of a path text; 311 when there are none.
    static Components split(const std::string& text);
    Components split() const { return split(utf8Text); }
    // Exactly two characters: an ASCII letter and ':'.
    static bool isDriveDesignator(const std::string& piece);

    // Relative names are taken from the current directory (which must start with a drive). 311 for
    // ".." above the first component or nothing left; 200 when the current directory is unusable.
    FileName canonicalize() const;
    // Creates the missing parent directories of a canonical name, keeping those made before a
    // failure (311). A non-canonical name: std::logic_error "canonicalized file name expected".
    void createDirectories() const;

private:
    FileName() = default;
    std::string utf8Text;
    std::wstring utf16Text;
    bool canonical = false;
};

}  // namespace settings_impl
