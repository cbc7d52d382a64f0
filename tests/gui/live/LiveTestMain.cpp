// Widgets need a QApplication. The tests run without a display unless
// KYCAM_TEST_PLATFORM names one (e.g. "xcb" under Xvfb, for screenshots
// with the OpenGL view).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    const QByteArray platform = qgetenv("KYCAM_TEST_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
