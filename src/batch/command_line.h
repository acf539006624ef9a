// kivo-batch's command line read into what the run does: the plan, the files
// and how they are treated, or the help, the version or a usage error.
#pragma once

#include <QStringList>

#include <string>
#include <vector>

#include "batch.h"

namespace kivo::batch {

struct CommandLine {
    enum class Action { Run, Help, Version, Usage };
    Action What = Action::Run;
    QString Text; // the help, the version line, or what is wrong with the command line
    Plan Work;
    int Jobs = 1;
    bool Quiet = false;
    std::vector<std::string> Files; // one per spectrum: a spectrometer pair's other file dropped
    // --figure: every treated spectrum drawn into this file (empty: none).
    std::string Figure;
    FigureSettings Look;
    // --legend: the legend's texts, one a drawn spectrum in their order;
    // the captions for those not given.
    QStringList Legends;
    // --series-figure: the curve of the series drawn into this file (empty: none).
    std::string SeriesFigure;
    SeriesValue SeriesY = SeriesValue::Integral;
};
// Whether the arguments ask for a figure, which needs Qt's GUI (though no
// display) from the start.
bool AsksForFigure(int argc, char* argv[]);

// args as the program was given them (argv), the program first: every file
// and directory name keeps its bytes, whether or not they are UTF-8, and
// Text quotes them in those bytes (print a usage error with UsageBytes). An
// options file named is read here; nothing is written: the caller makes the
// --write directory.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
// The same from text, each argument in the local 8-bit encoding.
CommandLine ParseCommandLine(const QStringList& args);
// A usage error's Text as bytes to print: the names in it as they were given.
std::string UsageBytes(const QString& text);

} // namespace kivo::batch
