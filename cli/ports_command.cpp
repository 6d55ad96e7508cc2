// The ports command: the devices behind COM1 .. COM12, numbered as the
// dialog's port list numbers them.
#include "commands.h"
#include "result_output.h"

#include "serial/serial_link.h"

#include <QJsonArray>

#include <cstdio>

namespace dentora {

ExitStatus RunPortsCommand(const PortsOptions& options)
{
    const auto devices = PortListDevices();
    QJsonArray ports;
    int listed = 0;
    for (int index = 0; index < kPortListSize; ++index) {
        const auto& device = devices[std::size_t(index)];
        if (!device)
            continue;
        ++listed;
        if (!options.json) {
            std::printf("COM%-3d %-24s %s\n", index + 1, qPrintable(device->path), qPrintable(device->description));
            continue;
        }
        ports.append(QJsonObject{{QStringLiteral("com"), index + 1},
                                 {QStringLiteral("device"), device->path},
                                 {QStringLiteral("description"), device->description}});
    }
    if (options.json) {
        QJsonObject document = ResultDocument("ports", ExitStatus::kOk, QString());
        document.insert(QStringLiteral("ports"), ports);
        PrintJson(document);
    } else if (listed == 0) {
        std::fputs("dentora-cli: no serial device is present\n", stderr);
    }
    return ExitStatus::kOk;
}

}  // namespace dentora
