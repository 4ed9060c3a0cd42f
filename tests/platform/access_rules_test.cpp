// Who else may change a file the elevated launcher reads or runs, from descriptors as Windows gives
// them. Wine's, owned by the running account, are met by every end-to-end run, which installs the
// public runtime only from a folder the launcher trusts.
#include "platform/access_rules.h"

#include <gtest/gtest.h>

namespace {

const std::string kAdmin = "S-1-5-21-7-8-9-500", kUser = "S-1-5-21-7-8-9-1001";
const std::string kFileOfAdmins = "O:BAD:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";
const std::string kProgramFiles = "O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
                                  "D:PAI(A;;FA;;;SY)(A;OICIIO;GA;;;CO)(A;;0x1301bf;;;BA)(A;;0x1200a9;;;BU)";

TEST(AccessRules, OnlyAdministratorsAndTheSystemMayChangeWhatTheLauncherTrusts) {
    const struct { const char* name; std::string file, folder, writers; } rows[] = {
        {"under Program Files", kFileOfAdmins, kProgramFiles, ""},
        {"a standard user owns the file", "O:" + kUser + "D:(A;;FA;;;SY)(A;;FA;;;BA)", kProgramFiles,
         kUser + ", the owner (file)"},
        {"a standard user may write it", "O:BAD:(A;;FA;;;BA)(A;;0x120116;;;" + kUser + ")", kProgramFiles, kUser + " (file)"},
        {"a new folder under C:\\", kFileOfAdmins,
         "O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)",
         "Authenticated Users (folder)"},
        {"Users may create files there", kFileOfAdmins, "O:BAD:(A;;FA;;;BA)(A;CI;0x100006;;;BU)", "Users (folder)"},
        {"Everyone may delete children", kFileOfAdmins, "O:SYD:(A;;FA;;;SY)(A;;DCLCRPDT;;;WD)", "Everyone (folder)"},
        {"inherit-only entries pass on only", kFileOfAdmins, "O:BAD:(A;;FA;;;BA)(A;OICIIO;FA;;;BU)", ""},
        {"no DACL", "O:BAD:NO_ACCESS_CONTROL", kProgramFiles, "anyone (file)"},
        {"rules not readable", kFileOfAdmins, "", "anyone (folder)"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.writers, untrustedWriters(row.file, row.folder, kAdmin)) << row.name;
}

}  // namespace
