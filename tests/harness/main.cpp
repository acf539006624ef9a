#include <gtest/gtest.h>

#include <QApplication>
#include <QtGlobal>

namespace {
QtMessageHandler defaultHandler = nullptr;
// The offscreen platform warns about window hints it cannot pass on.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("propagateSizeHints"))) return;
    defaultHandler(type, context, text);
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // CTest lists the cases before it runs them: no window system for that.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    defaultHandler = qInstallMessageHandler(QuietHandler);
    // Behaviour tests run without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
