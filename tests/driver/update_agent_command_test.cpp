// The update agent's install command: never cut, refused as a whole when it would not fit.
#include "driver/update_agent.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(AgentInstallCommand, ComposedWholeOrRefused) {
    const std::string msiexec = "C:\\windows\\system32\\msiexec.exe";
    // A long user name: the package path alone passes the 260 bytes the command once had.
    const std::string package = "C:\\users\\" + std::string(250, 'u') + "\\AppData\\LocalLow\\Brennic\\Mako\\AU\\au.msi";
    const std::string head = "\"" + msiexec + "\" /i \"" + package + "\"";
    const std::string enabled = head + " ALLUSERS=1 /qn";
    const struct {
        bool enabled;
        size_t capacity;
        std::string expected;  // empty: refused
    } rows[] = {
        {true, update_agent::kProcessCommandCapacity, enabled},
        {false, update_agent::kProcessCommandCapacity, head + "DISABLE=1 ALLUSERS=1 /qn"},
        {true, enabled.size() + 1, enabled},
        {true, enabled.size(), ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.capacity));
        const ComposedCommand composed = composeAgentInstallCommand(msiexec, package, row.enabled, row.capacity);
        EXPECT_EQ(!row.expected.empty(), composed.ok);
        EXPECT_EQ(row.expected, composed.command);
        if (!composed.ok) {
            EXPECT_EQ("agentCommand", composed.failedBuffer);
            EXPECT_EQ(enabled.size(), composed.failedLength);
        }
    }
}

}  // namespace
