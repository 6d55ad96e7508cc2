// --open FILE: a capture file that cannot be read ends the start with the
// reason, naming the file and the line, before any window opens.
#include "run_dentora.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

TEST(OpenOptionTest, UnreadableCaptureEndsTheStartNamingFileAndLine)
{
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("missing.dentora"));
    const QString newer = folder.filePath(QStringLiteral("newer.dentora"));
    QFile file(newer);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("dentora-capture 7\n") > 0);
    file.close();

    const ProcessResult absent = RunDentora({QStringLiteral("--open"), missing});
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_TRUE(absent.err.contains(QStringLiteral("dentora: %1: ").arg(missing))) << absent.err.toStdString();

    const ProcessResult unknown = RunDentora({QStringLiteral("--open"), newer});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("dentora: %1, line 1: version \"7\"").arg(newer)))
        << unknown.err.toStdString();
}

}  // namespace
