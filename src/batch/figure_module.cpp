// The module of kivo-batch's figures: Qt's GUI on the offscreen platform and
// the figure code the window's export draws with.
#include <QGuiApplication>

#include "figure.h"
#include "figure_module.h"

namespace {

// Qt's GUI started in a shell without a desktop session (over ssh, in a
// batch job) complains of the missing session directory it never uses here.
QtMessageHandler qtHandler = nullptr;
void WithoutSessionWarning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        qtHandler(type, context, text);
}

QCoreApplication* MakeApplication(int& argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qtHandler = qInstallMessageHandler(WithoutSessionWarning);
    return new QGuiApplication(argc, argv);
}

bool WriteFigure(const QString& path, kivo::figure::PictureFormat format,
                 const std::vector<kivo::figure::Curve>& curves,
                 const kivo::FigureSettings& settings, QString& error,
                 const kivo::figure::AxisLabels* labels) {
    return kivo::figure::WriteFigure(path, format, curves, settings, error, labels);
}

} // namespace

extern "C" __attribute__((visibility("default"))) const kivo::batch::FigureModule*
kivo_batch_figures() {
    static const kivo::batch::FigureModule module{kivo::batch::OwnFigureHandshake(),
                                                  MakeApplication, WriteFigure};
    return &module;
}
