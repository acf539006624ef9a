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
    defaultHandler = qInstallMessageHandler(QuietHandler);
    // Behaviour tests run without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
