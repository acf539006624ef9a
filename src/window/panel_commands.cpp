#include "panel_commands.h"

#include <QRegularExpression>

#include "Kivo1_3.h"

const std::vector<PanelCommand>& MainCommands() {
    static const std::vector<PanelCommand> table = {
        {'3', "3 - Base Line", 3, &TForm1::Frame11Label3Click, false},
        {'4', "4 - Double Integration", 4, &TForm1::Frame11Label4Click, false},
        {'5', "5 - Comparison of spectra", 5, &TForm1::Frame11Label5Click, false},
        {'6', "6 - Move,Scale", 6, &TForm1::Frame11Label6Click, false},
        {'8', "8 - Treatment", 8, &TForm1::Frame11Label8Click, false},
    };
    return table;
}

const std::vector<PanelCommand>& MoveScaleCommands() {
    static const std::vector<PanelCommand> table = {
        {'R', "Restrict spectr - Alt R", 3, &TForm1::Frame12Label3Click, false},
        {'A', "Norm on Comp.Ampl - Alt A", 4, &TForm1::Frame12Label4Click, false},
        {'N', "Norm on Int Alt N", 5, &TForm1::Frame12Label5Click, false},
        {'G', "Grid - Alt G", 6, &TForm1::Fieldgrid1Click, false},
        {'H', "3300G in centr - Alt H", 7, &TForm1::Frame12Label7Click, false},
        {'B', "Combine Comp.Field alt B", 8, &TForm1::Frame12Label8Click, false},
        {'M', "Norm on Aml - Alt M", 9, &TForm1::Frame12Label9Click, false},
        {'W', "Save as  in plot - alt W", 10, &TForm1::Frame12Label10Click, false},
        {'S', "Norm on Rb Ampl.- Alt S", 11, &TForm1::Frame12Label11Click, false},
        {'Q', "back order - Alt Q", 12, &TForm1::Frame12Label12Click, false},
    };
    return table;
}

const std::vector<PanelCommand>& IntegrationCommands() {
    static const std::vector<PanelCommand> table = {
        {'C', "Manual region of centrum  - Alt C", 3, &TForm1::Frame15Label3Click, true},
        {'Q', "Quantitative integral - Alt Q", 4, &TForm1::Frame15Label4Click, true},
        {'S', "Spin standard - Alt S", 5, &TForm1::Frame15Label5Click, true},
        {'N', "Count spins - Alt N", 6, &TForm1::Frame15Label6Click, true},
    };
    return table;
}

const std::vector<PanelCommand>& TreatmentCommands() {
    static const std::vector<PanelCommand> table = {
        {'R', "Search Rb lines - Alt R", 1, &TForm1::Frame16Label1Click, false},
        {'M', "Search Mn (3-4) - Alt M", 2, &TForm1::Frame16Label2Click, false},
        {'K', "Search Mn (2-5) - Alt K", 3, &TForm1::Frame16Label3Click, false},
        {'L', "Search Mn (1-6) - Alt L", 4, &TForm1::Frame16Label4Click, false},
        {'S', "Subtraction - Alt S", 5, &TForm1::Frame14Label3Click, false},
        {'G', "Smoothing   - Alt G", 6, &TForm1::Frame16Label6Click, false},
        {'T', "Tool Measure - Alt T", 8, &TForm1::Frame16Label8Click, true},
        {'I', "Inverse - Alt I", 9, &TForm1::Frame16Label9Click, false},
        {'E', "Erase mist.- Alt E", 10, &TForm1::Frame16Label10Click, false},
        {'P', "Del. Pnts - Alt P", 11, &TForm1::Frame16Label11Click, true},
        {'F', "Frequency, GHz - Alt F", 0, &TForm1::FrequencyClick, false},
        {'D', "Field on DPPH - Alt D", 0, &TForm1::DpphClick, false},
        {'J', "Field on Li:LiF - Alt J", 0, &TForm1::LiLiFClick, false},
        {'U', "Field on a standard of g - Alt U", 0, &TForm1::StandardGClick, false},
        {'Q', "Frequency correction to - Alt Q", 0, &TForm1::FrequencyToClick, false},
        {'N', "Norm by acquisition - Alt N", 0, &TForm1::AcquisitionClick, false},
        {'V', "Fit lines - Alt V", 7, &TForm1::FitLinesClick, false},
        {'A', "Simulation - Alt A", 0, &TForm1::SimulationClick, true},
        {'B', "Peak to peak width - Alt B", 0, &TForm1::PeakToPeakClick, true},
    };
    return table;
}

QString CommandName(const PanelCommand& c) {
    const QString caption = QLatin1String(c.Caption);
    const QString keyFirst = QLatin1Char(c.Letter) + QStringLiteral(" - ");
    if (caption.startsWith(keyFirst)) return caption.mid(keyFirst.size()).trimmed();
    // The key after the name, in any of the ways the captions write it.
    static const QRegularExpression key(QStringLiteral("\\s*-?\\s*[Aa]lt\\s*\\w$"));
    return caption.section(QStringLiteral(" - "), 0, 0).remove(key).trimmed();
}

QString KeyText(const PanelCommand& c) {
    if (&c >= MainCommands().data() && &c < MainCommands().data() + MainCommands().size())
        return QString(QLatin1Char(c.Letter));
    return QStringLiteral("Alt+") + QLatin1Char(c.Letter);
}
