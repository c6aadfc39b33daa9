#include "support/testmain.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QFile>
#include <QTreeView>
#include <QUiLoader>
#include <QUndoStack>
#include <QtDesigner/QDesignerComponents>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QDesignerFormWindowCursorInterface>
#include <QtDesigner/QDesignerFormWindowInterface>
#include <QtDesigner/QDesignerFormWindowManagerInterface>
#include <QtDesigner/QDesignerIntegration>
#include <QtDesigner/QDesignerPropertyEditorInterface>
#include <QtDesigner/QDesignerPropertySheetExtension>
#include <QtDesigner/QExtensionManager>
#include <QtDesigner/private/qdesigner_utils_p.h>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using qdesigner_internal::PropertySheetPixmapValue;

// The control inside a real Designer core (form editor, property editor, form windows), with
// the plugin found on the library path as Designer finds it. The control comes from the
// plugin's own copy of the library, so it is examined only through names and plain values.
class TestDesignerProperties : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void editorListsEveryDesignableProperty_data();
    void editorListsEveryDesignableProperty();
    void colourEdits_data();
    void colourEdits();
    void fontEditGivesTheControlItsOwnFont();
    void pictureEditLoadsTheImage();
    void unusableValuesLeaveThePropertyAsItWas();
    void savedFormLoadsBackWithTheSameValues();
    void designerCommandsSetResetAndUndo();
    void formLoadedAtRunTime();

private:
    QWidget *newControl(QDesignerFormWindowInterface **window = nullptr, const QString &properties = {});
    QDesignerPropertySheetExtension *sheetFor(QWidget *control) const;
    QStringList editorRows() const;

    QDesignerFormEditorInterface *m_core = nullptr;
    QDesignerPropertyEditorInterface *m_editor = nullptr;
    std::vector<std::unique_ptr<QDesignerFormWindowInterface>> m_windows;
    QTemporaryDir m_dir;
};

void TestDesignerProperties::initTestCase()
{
    // Designer looks for widget plugins in the "designer" folder of each library path.
    QCoreApplication::addLibraryPath(QString::fromUtf8(CONDORA_PLUGIN_ROOT));
    QDesignerComponents::initializeResources();
    m_core = QDesignerComponents::createFormEditor(this);
    QDesignerComponents::initializePlugins(m_core);
    m_editor = QDesignerComponents::createPropertyEditor(m_core, nullptr);
    m_core->setPropertyEditor(m_editor);
    new QDesignerIntegration(m_core, m_core);
}

void TestDesignerProperties::cleanupTestCase()
{
    for (auto &window : m_windows) {
        m_core->formWindowManager()->removeFormWindow(window.get());
    }
    m_windows.clear();
    delete m_editor;
}

QWidget *TestDesignerProperties::newControl(QDesignerFormWindowInterface **window, const QString &properties)
{
    QDesignerFormWindowInterface *form = m_core->formWindowManager()->createFormWindow(nullptr);
    m_windows.emplace_back(form);
    const QString ui = uR"(<ui version="4.0"><class>Form</class>
<widget class="QWidget" name="Form">
 <property name="geometry"><rect><x>0</x><y>0</y><width>400</width><height>300</height></rect></property>
 <widget class="Condora" name="condora">%1</widget>
</widget>
<customwidgets><customwidget><class>Condora</class><extends>QWidget</extends><header>control/condora.h</header></customwidget></customwidgets>
</ui>)"_s.arg(properties);
    if (!form->setContents(ui)) {
        return nullptr;
    }
    if (window) {
        *window = form;
    }
    return form->mainContainer()->findChild<QWidget *>(u"condora"_s);
}

QDesignerPropertySheetExtension *TestDesignerProperties::sheetFor(QWidget *control) const
{
    return qt_extension<QDesignerPropertySheetExtension *>(m_core->extensionManager(), control);
}

// The property names the editor shows, as a user reads them in its tree.
QStringList TestDesignerProperties::editorRows() const
{
    QStringList rows;
    for (QTreeView *tree : m_editor->findChildren<QTreeView *>()) {
        const QAbstractItemModel *model = tree->model();
        for (int group = 0; group < model->rowCount(); ++group) {
            const QModelIndex groupIndex = model->index(group, 0);
            for (int row = 0; row < model->rowCount(groupIndex); ++row) {
                rows << model->index(row, 0, groupIndex).data().toString();
            }
        }
    }
    return rows;
}

void TestDesignerProperties::editorListsEveryDesignableProperty_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("shown");
    for (const char *name : {"Enabled", "Title", "SqlInput", "ButtonFont", "LabelFont", "LabelBackColor",
                             "LabelForeColor", "GridColor", "GridColorFixed", "GridColorUnpopulated", "GridForeColor",
                             "GridForeColorFixed", "FormBackColor", "FormPicture", "ButtonBackColor", "GridFont",
                             "GridFontFixed", "ButtonPicture", "GridForeColorSel", "GridBackColor", "GridBackColorBkg",
                             "GridBackColorFixed", "GridBackColorSel", "GridBackColorUnpopulated", "ShowSql",
                             "KeepCondition", "CountRows", "MoreOperators", "DateEditor",
                             "RecentConditions", "LiveCount",
                             "FastValueLists"}) {
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    }
    // A connection is handed over at run time and cannot be designed.
    QTest::newRow("ConnObj") << u"ConnObj"_s << false;
}

void TestDesignerProperties::editorListsEveryDesignableProperty()
{
    QFETCH(QString, name);
    QFETCH(bool, shown);
    QWidget *control = newControl();
    QVERIFY(control);
    QCOMPARE(control->metaObject()->className(), "Condora");
    m_editor->setObject(control);
    QCOMPARE(editorRows().contains(name), shown);
    QDesignerPropertySheetExtension *sheet = sheetFor(control);
    QVERIFY(sheet);
    QCOMPARE(sheet->isVisible(sheet->indexOf(name)), shown);
}

void TestDesignerProperties::colourEdits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("edited");
    QTest::addColumn<uint>("stored");
    QTest::newRow("red label background") << u"LabelBackColor"_s << QColor(255, 0, 0) << 0x0000FFu;
    QTest::newRow("blue grid lines") << u"GridColor"_s << QColor(0, 0, 255) << 0xFF0000u;
    QTest::newRow("mixed selection") << u"GridBackColorSel"_s << QColor(0x12, 0x34, 0x56) << 0x563412u;
    QTest::newRow("alpha is dropped") << u"FormBackColor"_s << QColor(1, 2, 3, 40) << 0x030201u;
}

void TestDesignerProperties::colourEdits()
{
    QFETCH(QString, name);
    QFETCH(QColor, edited);
    QFETCH(uint, stored);
    QWidget *control = newControl();
    QVERIFY(control);
    QDesignerPropertySheetExtension *sheet = sheetFor(control);
    const int index = sheet->indexOf(name);
    QVERIFY(index >= 0);
    QCOMPARE(sheet->property(index).metaType(), QMetaType::fromType<QColor>());

    sheet->setProperty(index, edited);
    // The control holds the colour as its 0x00BBGGRR number; the editor shows it back.
    QCOMPARE(control->property(name.toLatin1()).toUInt(), stored);
    QCOMPARE(sheet->property(index).value<QColor>(), QColor(edited.red(), edited.green(), edited.blue()));
}

void TestDesignerProperties::fontEditGivesTheControlItsOwnFont()
{
    QWidget *control = newControl();
    QVERIFY(control);
    QDesignerPropertySheetExtension *sheet = sheetFor(control);
    const int gridFont = sheet->indexOf(u"GridFont"_s);
    const int labelFont = sheet->indexOf(u"LabelFont"_s);
    QCOMPARE(sheet->property(gridFont).metaType(), QMetaType::fromType<QFont>());

    QFont font(u"Serif"_s, 17);
    font.setBold(true);
    sheet->setProperty(gridFont, font);

    const auto handle = control->property("GridFont").value<std::shared_ptr<QFont>>();
    QVERIFY(handle);
    QCOMPARE(handle->pointSize(), 17);
    QVERIFY(handle->bold());
    QCOMPARE(sheet->property(gridFont).value<QFont>().pointSize(), 17);
    // Other fonts keep their own objects and values.
    const auto label = control->property("LabelFont").value<std::shared_ptr<QFont>>();
    QVERIFY(label);
    QVERIFY(label != handle);
    QVERIFY(sheet->property(labelFont).value<QFont>().pointSize() != 17);
}

void TestDesignerProperties::pictureEditLoadsTheImage()
{
    QImage image(12, 7, QImage::Format_RGB32);
    image.fill(Qt::green);
    const QString path = m_dir.filePath(u"picture.png"_s);
    QVERIFY(image.save(path));

    QWidget *control = newControl();
    QVERIFY(control);
    QDesignerPropertySheetExtension *sheet = sheetFor(control);
    const int index = sheet->indexOf(u"FormPicture"_s);
    QCOMPARE(sheet->property(index).metaType(), QMetaType::fromType<PropertySheetPixmapValue>());
    QVERIFY(sheet->property(index).value<PropertySheetPixmapValue>().path().isEmpty());

    sheet->setProperty(index, QVariant::fromValue(PropertySheetPixmapValue(path)));
    const auto picture = control->property("FormPicture").value<std::shared_ptr<QPixmap>>();
    QVERIFY(picture);
    QCOMPARE(picture->size(), QSize(12, 7));
    QCOMPARE(sheet->property(index).value<PropertySheetPixmapValue>().path(), path);
    // The other picture is untouched.
    const auto button = control->property("ButtonPicture").value<std::shared_ptr<QPixmap>>();
    QVERIFY(!button || button->isNull());

    // Clearing the path gives an empty picture object.
    sheet->setProperty(index, QVariant::fromValue(PropertySheetPixmapValue()));
    const auto cleared = control->property("FormPicture").value<std::shared_ptr<QPixmap>>();
    QVERIFY(cleared);
    QVERIFY(cleared->isNull());
}

void TestDesignerProperties::unusableValuesLeaveThePropertyAsItWas()
{
    QWidget *control = newControl();
    QVERIFY(control);
    QDesignerPropertySheetExtension *sheet = sheetFor(control);
    const int colour = sheet->indexOf(u"GridColor"_s);
    const int font = sheet->indexOf(u"GridFont"_s);
    sheet->setProperty(colour, QColor(10, 20, 30));
    const uint before = control->property("GridColor").toUInt();
    const auto fontBefore = control->property("GridFont").value<std::shared_ptr<QFont>>();

    sheet->setProperty(colour, QColor());      // invalid colour
    sheet->setProperty(colour, u"red"_s);      // not a colour at all
    sheet->setProperty(font, 12);              // not a font
    QCOMPARE(control->property("GridColor").toUInt(), before);
    QCOMPARE(control->property("GridFont").value<std::shared_ptr<QFont>>(), fontBefore);
    // A missing picture file gives an empty picture, and the form still names the file.
    const int picture = sheet->indexOf(u"ButtonPicture"_s);
    const QString missing = m_dir.filePath(u"missing.png"_s);
    sheet->setProperty(picture, QVariant::fromValue(PropertySheetPixmapValue(missing)));
    const auto empty = control->property("ButtonPicture").value<std::shared_ptr<QPixmap>>();
    QVERIFY(empty && empty->isNull());
    QCOMPARE(sheet->property(picture).value<PropertySheetPixmapValue>().path(), missing);
}

void TestDesignerProperties::savedFormLoadsBackWithTheSameValues()
{
    QImage image(5, 9, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString path = m_dir.filePath(u"button.png"_s);
    QVERIFY(image.save(path));

    QDesignerFormWindowInterface *window = nullptr;
    QWidget *control = newControl(&window);
    QVERIFY(control);
    QDesignerPropertySheetExtension *sheet = sheetFor(control);
    const auto edit = [&](const QString &name, const QVariant &value) {
        const int index = sheet->indexOf(name);
        sheet->setProperty(index, value);
        sheet->setChanged(index, true);
    };
    edit(u"GridBackColor"_s, QColor(0x11, 0x22, 0x33));
    edit(u"ButtonFont"_s, QFont(u"Serif"_s, 15));
    edit(u"ButtonPicture"_s, QVariant::fromValue(PropertySheetPixmapValue(path)));
    edit(u"Title"_s, u"Pick customers"_s);
    const QString saved = window->contents();
    QVERIFY(saved.contains(u"<property name=\"GridBackColor\">"_s));
    QVERIFY(saved.contains(u"<pixmap>"_s));
    // What uic turns into #include <Condora/condora.h> (the form tests/packaging/installedhost
    // compiles against an install carries the same).
    QVERIFY2(saved.contains(u"<header location=\"global\">Condora/condora.h</header>"_s), qPrintable(saved));

    // Opening the saved form makes a new control with the same values.
    const int start = saved.indexOf(u"<widget class=\"Condora\""_s);
    const int end = saved.indexOf(u"</widget>"_s, start);
    QVERIFY(start >= 0 && end > start);
    QString properties = saved.mid(start, end - start);
    properties = properties.mid(properties.indexOf(u'>') + 1);
    QWidget *reopened = newControl(nullptr, properties);
    QVERIFY(reopened);
    QCOMPARE(reopened->property("GridBackColor").toUInt(), 0x332211u);
    QCOMPARE(reopened->property("ButtonFont").value<std::shared_ptr<QFont>>()->pointSize(), 15);
    QCOMPARE(reopened->property("ButtonPicture").value<std::shared_ptr<QPixmap>>()->size(), QSize(5, 9));
    QCOMPARE(reopened->property("Title").toString(), u"Pick customers"_s);
}

// Edits, reset and undo as Designer's own commands make them (the property editor's).
void TestDesignerProperties::designerCommandsSetResetAndUndo()
{
    QDesignerFormWindowInterface *window = nullptr;
    QWidget *control = newControl(&window);
    QVERIFY(control);
    window->setCurrentTool(0);
    window->clearSelection(false);
    window->selectWidget(control, true);
    QDesignerFormWindowCursorInterface *cursor = window->cursor();
    const uint original = control->property("GridBackColorSel").toUInt();

    cursor->setWidgetProperty(control, u"GridBackColorSel"_s, QColor(1, 2, 3));
    QCOMPARE(control->property("GridBackColorSel").toUInt(), 0x030201u);
    window->commandHistory()->undo();
    QCOMPARE(control->property("GridBackColorSel").toUInt(), original);
    window->commandHistory()->redo();
    QCOMPARE(control->property("GridBackColorSel").toUInt(), 0x030201u);

    cursor->resetWidgetProperty(control, u"GridBackColorSel"_s);
    QCOMPARE(control->property("GridBackColorSel").toUInt(), original);

    cursor->setWidgetProperty(control, u"LabelFont"_s, QFont(u"Serif"_s, 21));
    QCOMPARE(control->property("LabelFont").value<std::shared_ptr<QFont>>()->pointSize(), 21);
    cursor->resetWidgetProperty(control, u"LabelFont"_s);
    QVERIFY(control->property("LabelFont").value<std::shared_ptr<QFont>>()->pointSize() != 21);

    QDesignerPropertySheetExtension *sheet = sheetFor(control);
    const int picture = sheet->indexOf(u"FormPicture"_s);
    cursor->setWidgetProperty(control, u"FormPicture"_s,
                              QVariant::fromValue(PropertySheetPixmapValue(m_dir.filePath(u"nowhere.png"_s))));
    QVERIFY(!sheet->property(picture).value<PropertySheetPixmapValue>().path().isEmpty());
    cursor->resetWidgetProperty(control, u"FormPicture"_s);
    QVERIFY(sheet->property(picture).value<PropertySheetPixmapValue>().path().isEmpty());
    QVERIFY(control->property("FormPicture").value<std::shared_ptr<QPixmap>>()->isNull());
}

// A host loading the designed form at run time gets the control with its designed values.
void TestDesignerProperties::formLoadedAtRunTime()
{
    QFile file(QString::fromUtf8(CONDORA_DESIGNED_FORM));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QUiLoader loader;
    const std::unique_ptr<QWidget> form(loader.load(&file));
    QVERIFY2(form, qPrintable(loader.errorString()));
    QWidget *control = form->findChild<QWidget *>(u"condora"_s);
    QVERIFY(control);
    QCOMPARE(control->metaObject()->className(), "Condora");
    QCOMPARE(control->property("Title").toString(), u"Customers"_s);
    QCOMPARE(control->property("LabelBackColor").toUInt(), 0x0000FFu);
    QCOMPARE(control->property("GridFont").value<std::shared_ptr<QFont>>()->pointSize(), 17);
}

CONDORA_TEST_MAIN(TestDesignerProperties)
#include "tst_designerproperties.moc"
