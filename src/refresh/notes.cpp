#include <QFileInfo>

#include "Kivo1_3.h"

void TForm1::SampCondW(int code, int slot, const std::string& text) {
    const QByteArray name = QFileInfo(FileSpectrumName[slot]).fileName().toLocal8Bit();
    kivo::AppendTreatmentNote(Params[slot].Line2,
                              std::string_view(name.constData(), size_t(name.size())), code, text);
}
