// kivo-batch's figures live in a module of their own, kivo-batch-figures.so:
// drawing needs Qt's GUI, whose libraries take longer to load than a short
// run takes to treat its files, so only a run that draws loads them.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <vector>

#include "TYPEKIVO1_3.h"
#include "picture.h"

namespace kivo::batch {

// What both sides of the module compiled against: a module of another
// version, or one whose records have other sizes, is not called. Made where
// KIVO_VERSION is defined (kivo-batch and the module).
struct FigureHandshake {
    char Version[16] = {};
    size_t ModuleSize = 0, SettingsSize = 0, CurveSize = 0, LabelsSize = 0;
    bool operator==(const FigureHandshake&) const = default;
};

struct FigureModule {
    FigureHandshake Handshake;
    // The application object a figure's fonts and drawing need, on the
    // offscreen platform unless another is named.
    QCoreApplication* (*MakeApplication)(int& argc, char** argv);
    // As kivo::figure::WriteFigure.
    bool (*WriteFigure)(const QString& path, figure::PictureFormat format,
                        const std::vector<figure::Curve>& curves, const FigureSettings& settings,
                        QString& error, const figure::AxisLabels* labels);
};

#ifdef KIVO_VERSION
inline FigureHandshake OwnFigureHandshake() {
    FigureHandshake h;
    static_assert(sizeof KIVO_VERSION <= sizeof h.Version);
    for (size_t k = 0; k + 1 < sizeof KIVO_VERSION; ++k) h.Version[k] = KIVO_VERSION[k];
    h.ModuleSize = sizeof(FigureModule);
    h.SettingsSize = sizeof(FigureSettings);
    h.CurveSize = sizeof(figure::Curve);
    h.LabelsSize = sizeof(figure::AxisLabels);
    return h;
}
#endif

// The name of the function the module exports, which returns its FigureModule.
inline constexpr const char* FigureModuleEntry = "kivo_batch_figures";

} // namespace kivo::batch
