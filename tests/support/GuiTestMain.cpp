// Widgets need a QApplication. The tests run without a display unless
// KYCAM_TEST_PLATFORM names a platform (e.g. "xcb" under Xvfb, for the
// OpenGL view).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    QByteArray platform = qgetenv("KYCAM_TEST_PLATFORM");
    if (platform.isEmpty()) platform = "offscreen";
    qputenv("QT_QPA_PLATFORM", platform);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
