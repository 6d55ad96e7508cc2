// dentora-sim: a simulated engine controller on a pseudo-terminal.
#include "simulator/command_line.h"
#include "simulator/pty_controller.h"

#include <csignal>
#include <ctime>
#include <iostream>
#include <system_error>

#include <pthread.h>

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

void PrintStats(const dentora::sim::PtyStats& stats)
{
    std::cerr << "dentora-sim: received " << stats.protocol.goCommands << " 'g', " << stats.protocol.countCommands
              << " 'n', " << stats.protocol.nextByteCommands << " 'a', " << stats.protocol.ignoredBytes
              << " other; wrote " << stats.bytesWritten << " bytes\n";
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace dentora::sim;
    SimulatorOptions options;
    try {
        options = ParseCommandLine({argv + 1, argv + argc});
    } catch (const UsageError& error) {
        std::cerr << "dentora-sim: " << error.what() << "\nTry 'dentora-sim --help'.\n";
        return kExitUsage;
    }
    if (options.showHelp) {
        std::cout << UsageText();
        return 0;
    }

    // Blocked before the serving thread starts, so that it inherits the mask
    // and the signals reach only the sigtimedwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        PtyController controller(options.controller);
        const std::string device = controller.Start(options.linkPath);
        std::cout << device << std::endl;
        std::cerr << "dentora-sim: serving on " << device
                  << (options.linkPath.empty() ? "" : " (" + options.linkPath + ")") << " at "
                  << controller.Timing().effectiveRpm << " rpm, announcing " << controller.AnnouncedCount() << " bytes";
        if (const LineModel& line = options.controller.line; line.baud != 0 || line.latency.count() != 0) {
            std::cerr << "; line " << line.baud << " baud, answers " << line.latency.count() / 1000.0 << " ms late";
        }
        std::cerr << "; Ctrl+C to stop\n";

        bool reported = false;
        const timespec checkInterval{0, 200'000'000};
        while (sigtimedwait(&stopSignals, nullptr, &checkInterval) < 0) {
            const PtyStats now = controller.Stats();
            if (!reported && (now.vanished || !now.failure.empty())) {
                std::cerr << "dentora-sim: " << (now.vanished ? "device closed as asked (--vanish-after)" : now.failure)
                          << "; waiting for Ctrl+C\n";
                reported = true;
            }
        }
        controller.Stop();
        PrintStats(controller.Stats());
    } catch (const std::invalid_argument& error) {
        std::cerr << "dentora-sim: " << error.what() << "\n";
        return kExitUsage;
    } catch (const std::system_error& error) {
        std::cerr << "dentora-sim: cannot open a pseudo-terminal: " << error.what() << "\n";
        return kExitFailure;
    }
    return 0;
}
