// A form designed with the Condora Designer plugin, compiled as a host's build compiles it.

#include "ui_designedform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget form;
    Ui::DesignedForm ui;
    ui.setupUi(&form);
    return ui.condora->Title() == QStringLiteral("Customers") ? 0 : 1;
}
