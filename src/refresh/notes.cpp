#include <QCheckBox>
#include <QFileInfo>

#include "Kivo1_3.h"

std::string TForm1::NoteName(int slot) const {
    return QFileInfo(Store.FileSpectrumName[slot]).fileName().toLocal8Bit().toStdString();
}

std::string TForm1::Caption(int slot) const {
    return BoxText(slot).toStdString();
}

void TForm1::SampCondW(int code, int slot, const std::string& text) {
    kivo::AppendTreatmentNote(Store.Params[slot].Line2, NoteName(slot), code, text);
}
