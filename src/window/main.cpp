#include <QApplication>
#include <clocale>

#include "Kivo1_3.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Qt took the user's locale; numbers in files are written and read with
    // a point whatever the language of the desktop.
    std::setlocale(LC_NUMERIC, "C");
    TForm1 form;
    form.show();
    return app.exec();
}
