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
void TForm1::Frame11Label8Click() {}
void TForm1::Frame16Label1Click() {}
void TForm1::Frame16Label2Click() {}
void TForm1::Frame16Label3Click() {}
void TForm1::Frame16Label4Click() {}
void TForm1::Frame16Label6Click() {}
void TForm1::Frame16Label8Click() {}
void TForm1::Frame16Label9Click() {}
void TForm1::Frame16Label10Click() {}
void TForm1::Frame16Label11Click() {}
void TForm1::Frame16Edit1KeyDown(int&, kivo::ShiftState) {}
void TForm1::SmoothSpec(int) {}
