// Commands whose work is not built yet. Their menu items, labels and keys are
// in place and do nothing until then.
#include "Kivo1_3.h"

void TForm1::Readoptions1Click() {}
void TForm1::Writeoptions1Click() {}
void TForm1::Defaultsize1Click() {}
void TForm1::WindowSize1Click() {}
void TForm1::GrafSize1Click() {}
void TForm1::Lowmenu1Click() {}
void TForm1::Bigpoints1Click() {}
void TForm1::LoadHelp() {}
void TForm1::Help1Click() {}
void TForm1::English1Click() {}
void TForm1::Russian1Click() {}
