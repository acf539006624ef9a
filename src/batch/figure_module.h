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

struct FigureModule {
    // The application object a figure's fonts and drawing need, on the
    // offscreen platform unless another is named.
    QCoreApplication* (*MakeApplication)(int& argc, char** argv);
    // As kivo::figure::WriteFigure.
    bool (*WriteFigure)(const QString& path, figure::PictureFormat format,
                        const std::vector<figure::Curve>& curves, const FigureSettings& settings,
                        QString& error, const figure::AxisLabels* labels);
};

// The name of the function the module exports, which returns its FigureModule.
inline constexpr const char* FigureModuleEntry = "kivo_batch_figures";

} // namespace kivo::batch
