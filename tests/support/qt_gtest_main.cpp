// Runs a GoogleTest binary inside a Qt application, headless unless a
// display platform is asked for.
#include <QApplication>
#include <QStyleFactory>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// The headless platform's screen is 800 x 600 unless told otherwise: too
// small for the dialog, which would then open smaller than its template.
// Tests get a 1280 x 1024 screen; the executables they start get the same.
void OffscreenOnAScreenThatHoldsTheDialog(QTemporaryFile& config)
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::strcmp(platform, "offscreen") != 0)
        return;
    if (!config.open())
        return;
    config.write(R"({"screens": [{"name": "Test", "x": 0, "y": 0, "width": 1280, "height": 1024,
                                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    config.close();
    const QByteArray value = "offscreen:configfile=" + config.fileName().toLocal8Bit();
    setenv("QT_QPA_PLATFORM", value.constData(), 1);
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryFile screenConfig;
    OffscreenOnAScreenThatHoldsTheDialog(screenConfig);
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
