#include "form1.h"
#include "platform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Form1 window(platform::programDirectory());
    window.show();
    return app.exec();
}
