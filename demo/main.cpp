// CondoraHost: a one-window program that shows how a host uses the Condora query control on
// the sample database that the build places in DB/DB1.db beside the program.

#include "demo/form2.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("CondoraHost"));

    condora::Form2 window;
    if (!window.openDatabase()) {
        return 1;
    }
    window.show();
    return app.exec();
}
