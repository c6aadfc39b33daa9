#include "control/aboutdialog.h"

#include "platform/twips.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace condora {

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"dlgAbout"_s);
    setWindowTitle(tr("About"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    const QStringList lines = {
        u"Condora ActiveX"_s,
        tr("Version 3.0"),
        tr("Builds the WHERE condition of a query, row by row."),
    };
    for (int i = 0; i < lines.size(); ++i) {
        auto *label = new QLabel(lines.at(i), this);
        label->setObjectName(u"lblLine%1"_s.arg(i + 1));
        layout->addWidget(label);
    }
    layout->addStretch();

    setFixedSize(twips::toPixels(4785), twips::toPixels(2670));
}

} // namespace condora
