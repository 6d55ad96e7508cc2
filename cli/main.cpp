// dentora-cli: the test run, without a window, for scripts and bench rigs.
// A core application only: no window-system plugin is loaded.
#include "command_line.h"
#include "commands.h"

#include <QCoreApplication>

#include <cstdio>

using namespace dentora;

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    CommandLine commandLine;
    try {
        commandLine = ParseCommandLine(QCoreApplication::arguments().mid(1));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "dentora-cli: %s\nTry 'dentora-cli --help'.\n", error.what());
        return int(ExitStatus::kUsage);
    }
    Console console;
    switch (commandLine.command) {
    case Command::kHelp: std::fputs(qPrintable(commandLine.helpText), stdout); return 0;
    case Command::kVersion: std::puts("dentora-cli " DENTORA_VERSION); return 0;
    case Command::kCapture: return int(RunCaptureCommand(commandLine.capture, console));
    case Command::kPorts: return int(RunPortsCommand(commandLine.ports));
    }
    return 0;
}
