#include "support/testmain.h"

#include <QPluginLoader>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

using namespace Qt::StringLiterals;

class TestDesignerPlugin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadsAndCreatesTheControl()
    {
        QPluginLoader loader(QString::fromUtf8(CONDORA_DESIGNER_PLUGIN_FILE));
        QObject *instance = loader.instance();
        QVERIFY2(instance, qPrintable(loader.errorString()));
        auto *plugin = qobject_cast<QDesignerCustomWidgetInterface *>(instance);
        QVERIFY(plugin);

        QCOMPARE(plugin->name(), u"Condora"_s);
        QCOMPARE(plugin->includeFile(), u"<Condora/condora.h>"_s);
        QVERIFY(!plugin->isContainer());
        QVERIFY(plugin->domXml().contains(u"class=\"Condora\""_s));
        const QIcon icon = plugin->icon();
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(16, 15)});

        QWidget form;
        QWidget *widget = plugin->createWidget(&form);
        QVERIFY(widget);
        QCOMPARE(widget->metaObject()->className(), "Condora");
        QCOMPARE(widget->size(), QSize(31, 32));
        // The property editor lists the control's own properties.
        QVERIFY(widget->metaObject()->indexOfProperty("SqlInput") >= 0);
        QVERIFY(widget->metaObject()->indexOfProperty("GridBackColorUnpopulated") >= 0);
        delete widget;
    }
};

CONDORA_TEST_MAIN(TestDesignerPlugin)
#include "tst_designerplugin.moc"
