// The Alt commands of a lower panel as one table: the key, the caption (on
// one of the panel's labels, or in the Commands menu alone), the handler and
// whether it wants a marked spectrum. The panel's labels, its keys, the
// Commands menu and the help's check all read the table.
#pragma once

#include <QString>
#include <vector>

class TForm1;

struct PanelCommand {
    char Letter;           // with Alt alone held (the main panel's: the key alone)
    const char* Caption;   // as the label or the menu shows it
    int Label;             // the panel's label 1..12 that carries the caption; 0: menu only
    void (TForm1::*Run)(); // the label's click handler too
    bool NeedsMarked;      // refused with "   Choose at least one spectrum " when none is marked
};

// The tables of the panels that have them; empty for the others.
const std::vector<PanelCommand>& MainCommands();        // Frame11: digits, no Alt
const std::vector<PanelCommand>& MoveScaleCommands();   // Frame12
const std::vector<PanelCommand>& IntegrationCommands(); // Frame15
const std::vector<PanelCommand>& TreatmentCommands();   // Frame16

// "Alt+F" ("3" for the main panel's), as the menu and the help write the key.
QString KeyText(const PanelCommand& c);
// The caption without its key: "Base Line", "Restrict spectr".
QString CommandName(const PanelCommand& c);
