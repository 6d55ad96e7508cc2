// Runs the dentora executable headless, as a user would from a shell.
#pragma once

#include <QMap>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

struct ProcessResult {
    int exitCode;
    QString out;  // trimmed
    QString err;
};

// Headless, on the screen this test process has (QT_QPA_PLATFORM, see
// qt_gtest_main.cpp), unless settings says otherwise.
inline ProcessResult RunDentora(const QStringList& arguments, const QMap<QString, QString>& settings = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto setting = settings.begin(); setting != settings.end(); ++setting)
        environment.insert(setting.key(), setting.value());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(DENTORA_EXECUTABLE), arguments);
    EXPECT_TRUE(process.waitForFinished(100000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(process.readAllStandardError())};
}
