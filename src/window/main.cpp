#include <QApplication>

#include "Kivo1_3.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TForm1 form;
    form.show();
    return app.exec();
}
