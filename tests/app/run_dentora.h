// Runs the dentora executable headless, as a user would from a shell.
#pragma once

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

struct ProcessResult {
    int exitCode;
    QString out;  // trimmed
    QString err;
};

inline ProcessResult RunDentora(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(DENTORA_EXECUTABLE), arguments);
    EXPECT_TRUE(process.waitForFinished(100000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(process.readAllStandardError())};
}
