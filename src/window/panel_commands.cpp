#include "panel_commands.h"

#include "Kivo1_3.h"

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
        {'V', "Fit lines - Alt V", 0, &TForm1::FitLinesClick, false},
        {'B', "Peak to peak width - Alt B", 0, &TForm1::PeakToPeakClick, true},
    };
    return table;
}

QString KeyText(const PanelCommand& c) {
    return QStringLiteral("Alt+") + QLatin1Char(c.Letter);
}
