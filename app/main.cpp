#include "mainwindow.h"
#include "platform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow window(platform::programDirectory());
    window.show();
    return app.exec();
}
