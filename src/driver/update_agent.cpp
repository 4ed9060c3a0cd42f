#include "driver/update_agent.h"

ComposedCommand composeAgentInstallCommand(const std::string& msiexecPath, const std::string& packagePath,
                                           bool enabled) {
    // The agent's package reads DISABLE=1 even without a blank before it.
    std::string command = "\"" + msiexecPath + "\" /i " + quotedArgument(packagePath) +
                          (enabled ? " ALLUSERS=1 /qn" : "DISABLE=1 ALLUSERS=1 /qn");
    ComposedCommand result;
    if (command.size() >= update_agent::kProcessCommandCapacity) {
        result.failedBuffer = "agentCommand";
        result.failedLength = command.size();
        return result;
    }
    result.ok = true;
    result.command = std::move(command);
    return result;
}
