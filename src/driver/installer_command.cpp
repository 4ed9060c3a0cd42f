#include "driver/installer_command.h"

#include "platform/locale.h"
#include "platform/tstrings.h"

namespace {

bool fits(const std::string& text) { return text.size() < kCommandCapacity; }

ComposedCommand refused(const char* buffer, const std::string& text) {
    ComposedCommand result;
    result.failedBuffer = buffer;
    result.failedLength = text.size();
    return result;
}

ComposedCommand composed(std::string command) {
    ComposedCommand result;
    result.ok = true;
    result.command = std::move(command);
    return result;
}

std::string installDirProperty(const std::string& folder) { return " INSTALLDIR=" + quotedArgument(folder) + " "; }

}  // namespace

std::string quotedArgument(const std::string& value) {
    // Backslashes are literal except in a run right before a quote; the closing quote is the only
    // one, as values cannot hold a quote (the validator refuses it).
    const size_t kept = value.find_last_not_of('\\') + 1;  // npos + 1 == 0: backslashes only
    return "\"" + value + std::string(value.size() - kept, '\\') + "\"";
}

std::string ComposedCommand::failure() const {
    return failedBuffer + " would be " + std::to_string(failedLength) + " characters long; at most " +
           std::to_string(kCommandCapacity - 1) + " fit";
}

ComposedCommand composeForgeCommand(const ForgeCommandInputs& in) {
    std::string arguments = in.installerArguments;
    if (in.silent) {
        if (arguments.find("/qn") == std::string::npos) arguments += " /qn";
        // The test is on the configuration key: an ADDLOCAL written into MSI_CMDLINE does not count.
        if (!in.hasAddLocalKey) arguments += " ADDLOCAL=PublicloomFeature,ToolsFeature";
    }
    if (!fits(arguments)) return refused("installerArguments", arguments);

    std::string command;
    if (in.transformLanguage == langIdOf(&englishLocale)) {
        command = tstrings::format("\"%s\" /i \"%s\" %s WRAPPER=1", in.msiexecPath.c_str(), in.msiPath.c_str(),
                                   arguments.c_str());
    } else {
        command = tstrings::format("\"%s\" /i \"%s\" TRANSFORMS=:%u %s WRAPPER=1", in.msiexecPath.c_str(),
                                   in.msiPath.c_str(), static_cast<unsigned>(in.transformLanguage), arguments.c_str());
    }
    if (!in.installerLogPath.empty()) command += " /l " + quotedArgument(in.installerLogPath);
    if (!fits(command)) return refused("command", command);

    std::string finalCommand = command;
    if (!in.installDir.empty()) {
        const std::string property = installDirProperty(in.installDir);
        if (!fits(finalCommand + property)) return refused("finalCommand", finalCommand + property);
        finalCommand += property;
    }
    if (in.noStartMenu) {
        finalCommand = tstrings::format("%s NOSTARTMENU=1", finalCommand.c_str());
        if (!fits(finalCommand)) return refused("finalCommand", finalCommand);
    }

    ComposedCommand result = composed(std::move(finalCommand));
    result.installerArguments = std::move(arguments);
    return result;
}

ComposedCommand composeRuntimeInstallerPath(const std::string& forgeHome) {
    std::string path = tstrings::format("%s\\loom.exe", forgeHome.c_str());
    if (!fits(path)) return refused("runtimeInstaller", path);
    return composed(std::move(path));
}

ComposedCommand composeRuntimeCommand(const RuntimeCommandInputs& in) {
    std::string command = in.noStartMenu
                              ? tstrings::format("\"%s\" /s LAUNCHEDFROMFORGE=1 NOSTARTMENU=1", in.runtimeInstaller.c_str())
                              : tstrings::format("\"%s\" /s LAUNCHEDFROMFORGE=1", in.runtimeInstaller.c_str());
    if (!in.publicRuntimeDir.empty()) command += installDirProperty(in.publicRuntimeDir);
    if (in.suppressRuntimeReboot) command += " REBOOT=ReallySuppress";
    if (!fits(command)) return refused("runtimeCommand", command);
    return composed(std::move(command));
}

bool selectsPublicRuntime(const std::string& installerArguments) {
    return installerArguments.find("PublicloomFeature") != std::string::npos ||
           installerArguments.find("ADDLOCAL=ALL") != std::string::npos ||
           installerArguments.find("ADDLOCAL") == std::string::npos;
}
