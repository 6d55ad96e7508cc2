#include "cli_runner.h"

#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace dentora::test {
namespace {

constexpr int kRunTimeoutMs = 60000;

QProcessEnvironment Environment(const QStringList& changes)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& change : changes) {
        const QString name = change.section(QLatin1Char('='), 0, 0);
        const QString value = change.section(QLatin1Char('='), 1);
        if (value.isEmpty())
            environment.remove(name);
        else
            environment.insert(name, value);
    }
    return environment;
}

QString ReadAll(int fd)
{
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            bytes.append(buffer, int(got));
        else if (got < 0 && errno == EINTR)
            continue;
        else
            return QString::fromUtf8(bytes);  // EOF, or EIO once the terminal's last writer is gone
    }
}

}  // namespace

CliResult RunCli(const QStringList& arguments, const QStringList& environment, const QStringList& launcher)
{
    QProcess process;
    process.setProcessEnvironment(Environment(environment));
    QStringList command = launcher;
    command << QStringLiteral(DENTORA_CLI_EXECUTABLE) << arguments;
    process.start(command.takeFirst(), command);
    EXPECT_TRUE(process.waitForFinished(kRunTimeoutMs)) << arguments.join(QLatin1Char(' ')).toStdString();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

std::unique_ptr<QProcess> StartCli(const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->start(QStringLiteral(DENTORA_CLI_EXECUTABLE), arguments);
    EXPECT_TRUE(process->waitForStarted());
    return process;
}

CliResult RunCliWithTerminalStderr(const QStringList& arguments)
{
    int master = -1;
    int slave = -1;
    int outPipe[2];
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || ::pipe(outPipe) != 0) {
        ADD_FAILURE() << "no pseudo-terminal or pipe";
        return {};
    }
    std::vector<QByteArray> storage{QByteArrayLiteral(DENTORA_CLI_EXECUTABLE)};
    for (const QString& argument : arguments)
        storage.push_back(argument.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(slave, STDERR_FILENO);
        ::close(master);
        ::close(outPipe[0]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(slave);
    ::close(outPipe[1]);
    CliResult result;
    // The tool's output is small: the pipe's buffer holds it while the terminal is read.
    result.err = ReadAll(master);
    result.out = ReadAll(outPipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ::close(master);
    ::close(outPipe[0]);
    return result;
}

std::unique_ptr<sim::PtyController> StartController(unsigned records, void (*adjust)(sim::ControllerConfig&))
{
    sim::ControllerConfig config;
    config.records = records;
    config.acknowledgeDelay = std::chrono::milliseconds(200);
    if (adjust)
        adjust(config);
    auto controller = std::make_unique<sim::PtyController>(config);
    controller->Start();
    return controller;
}

QString SchemaViolations(const QString& json)
{
    static const char kValidate[] =
        "import json, sys, jsonschema\n"
        "schema = json.load(open(sys.argv[1]))\n"
        "text = sys.stdin.read()\n"
        "document, end = json.JSONDecoder().raw_decode(text)\n"
        "if text[end:].strip(): sys.exit('more than one document')\n"
        "errors = [e.message for e in jsonschema.Draft7Validator(schema).iter_errors(document)]\n"
        "sys.exit('; '.join(errors) if errors else 0)\n";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QLatin1String(kValidate), QStringLiteral(DENTORA_CLI_SCHEMA)});
    python.write(json.toUtf8());
    python.closeWriteChannel();
    if (!python.waitForFinished(30000))
        return QStringLiteral("the validator did not finish");
    return python.exitCode() == 0 ? QString() : QString::fromUtf8(python.readAllStandardError()).trimmed();
}

}  // namespace dentora::test
