// dentora-cli: the test run, without a window, for scripts and bench rigs.
// A core application unless a picture is asked for: only then is a
// window-system plugin loaded, and that is always the offscreen one.
#include "command_line.h"
#include "commands.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStyleFactory>

#include <cstdio>
#include <memory>

using namespace dentora;

namespace {

bool NeedsWindowSystem(const CommandLine& commandLine)
{
    return (commandLine.command == Command::kCapture || commandLine.command == Command::kExport) &&
        commandLine.options.files.NeedsWindowSystem();
}

std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv, bool windowSystem)
{
    if (!windowSystem)
        return std::make_unique<QCoreApplication>(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto application = std::make_unique<QApplication>(argc, argv);
    // The dialog's own style, so that the picture is the one its users see.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    return application;
}

}  // namespace

int main(int argc, char** argv)
{
    // Parsed before any application exists: the command decides which one.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine commandLine;
    try {
        commandLine = ParseCommandLine(arguments);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "dentora-cli: %s\nTry 'dentora-cli --help'.\n", error.what());
        return int(ExitStatus::kUsage);
    }
    const auto application = MakeApplication(argc, argv, NeedsWindowSystem(commandLine));
    Console console;
    switch (commandLine.command) {
    case Command::kHelp: std::fputs(qPrintable(commandLine.helpText), stdout); return 0;
    case Command::kVersion: std::puts("dentora-cli " DENTORA_VERSION); return 0;
    case Command::kCapture: return int(RunCaptureCommand(commandLine.options, console));
    case Command::kAnalyze: return int(RunAnalyzeCommand(commandLine.options, console));
    case Command::kExport: return int(RunExportCommand(commandLine.options, console));
    case Command::kImport: return int(RunImportCommand(commandLine.options, console));
    case Command::kPorts: return int(RunPortsCommand(commandLine.options));
    }
    return 0;
}
