#include "support/testmain.h"

#include "control/condora.h"
#include "ui_designedform.h"

using namespace Qt::StringLiterals;

// A form designed in Qt Designer with the control on it, as uic compiles it for a host:
// the generated code must build against the control's setters and give it the designed values.
class TestDesignedForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void designedValuesReachTheControl()
    {
        QWidget form;
        Ui::DesignedForm ui;
        ui.setupUi(&form);
        Condora *control = ui.condora;
        QCOMPARE(control->Title(), u"Customers"_s);
        QCOMPARE(control->SqlInput(), u"select * from Customers"_s);
        QCOMPARE(control->LabelBackColor(), condora::OleColor(0x0000FFu));
        QVERIFY(control->GridFont());
        QCOMPARE(control->GridFont()->pointSize(), 17);
        // Each designed font is an object of the control's own.
        QVERIFY(control->GridFont() != control->LabelFont());
        // A picture the form names but cannot load is an empty picture, not a missing one.
        QVERIFY(control->FormPicture());
        QVERIFY(control->FormPicture()->isNull());
        // The fixed size wins over the designed geometry's size.
        QCOMPARE(control->size(), control->sizeHint());
    }

    // Forms loaded at run time (QUiLoader) set properties by name with plain values.
    void plainValuesByName()
    {
        Condora control;
        QVERIFY(control.setProperty("GridBackColor", QColor(0x10, 0x20, 0x30)));
        QCOMPARE(control.GridBackColor(), condora::OleColor(0x302010u));
        QVERIFY(control.setProperty("ButtonFont", QFont(u"Serif"_s, 13)));
        QVERIFY(control.ButtonFont());
        QCOMPARE(control.ButtonFont()->pointSize(), 13);
        QPixmap picture(4, 6);
        QVERIFY(control.setProperty("ButtonPicture", picture));
        QVERIFY(control.ButtonPicture());
        QCOMPARE(control.ButtonPicture()->size(), QSize(4, 6));
        // A value of another kind is refused and leaves the property as it was.
        QVERIFY(!control.setProperty("ButtonFont", QPixmap(2, 2)));
        QCOMPARE(control.ButtonFont()->pointSize(), 13);
    }
};

CONDORA_TEST_MAIN(TestDesignedForm)
#include "tst_designedform.moc"
