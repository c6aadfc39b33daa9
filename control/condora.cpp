#include "control/condora.h"

#include "analysis/analysisstate.h"
#include "analysis/columnfilters.h"
#include "analysis/databasekind.h"
#include "analysis/errorreport.h"
#include "analysis/statementsplitter.h"
#include "analysis/statementtools.h"
#include "control/aboutdialog.h"
#include "control/magnifyingglass.h"
#include "control/querydialoghook.h"
#include "control/querytitle.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"
#include "platform/twips.h"
#include "platform/userinteraction.h"

#include <QMetaType>
#include <QPainter>
#include <QResizeEvent>

using namespace Qt::StringLiterals;
using condora::OleColor;

namespace {

// The control's design size on its parent window.
constexpr int DesignWidthTwips = 465;
constexpr int DesignHeightTwips = 480;

// Lets hosts set colour properties by name with plain numbers or colours
// (setProperty("GridBackColor", 0x8000000Du)), and fonts and pictures with plain values, as
// forms loaded at run time (QUiLoader) do. A plain font or picture becomes a new object.
void registerPropertyConversions()
{
    if (QMetaType::hasRegisteredConverterFunction<uint, OleColor>()) {
        return;
    }
    QMetaType::registerConverter<QColor, OleColor>([](const QColor &color) { return OleColor::fromColor(color); });
    QMetaType::registerConverter<QFont, condora::FontHandle>(
        [](const QFont &font) { return std::make_shared<QFont>(font); });
    QMetaType::registerConverter<QPixmap, condora::PictureHandle>(
        [](const QPixmap &picture) { return std::make_shared<QPixmap>(picture); });
    QMetaType::registerConverter<OleColor, uint>([](OleColor color) { return uint(color.value()); });
    QMetaType::registerConverter<uint, OleColor>([](uint value) { return OleColor(value); });
    QMetaType::registerConverter<int, OleColor>([](int value) { return OleColor(quint32(value)); });
    QMetaType::registerConverter<qlonglong, OleColor>([](qlonglong value) { return OleColor(quint32(value)); });
    QMetaType::registerConverter<qulonglong, OleColor>([](qulonglong value) { return OleColor(quint32(value)); });
}

const QImage &controlPicture()
{
    static const QImage picture = condora::magnifyingGlassPicture();
    return picture;
}

} // namespace

namespace condora {

QString &queryTitle()
{
    static QString title;
    return title;
}

} // namespace condora

Condora::Condora(QWidget *parent)
    : QWidget(parent)
{
    registerPropertyConversions();
    setFixedSize(condora::twips::toPixels(DesignWidthTwips), condora::twips::toPixels(DesignHeightTwips));
    m_designSize = size();
    // Stored properties arrive after creation, so message boxes without a caption of their own
    // carry the empty caption.
    condora::UserInteraction::setDefaultCaption(m_title);
    initProperties();
}

Condora::~Condora() = default;

// Query run -------------------------------------------------------------------------------------

void Condora::runQuery()
{
    condora::AnalysisState &state = condora::analysisState();
    // A run that ends before the dialog has no result: a statement left by an earlier dialog
    // must not be returned or executed for this run.
    state.resultSql.clear();

    state.curConn = m_connObj;
    condora::ado::Connection &connection = condora::currentConnection();
    state.savedCursorLocation = connection.CursorLocation();
    condora::queryTitle() = m_title;
    state.dbKind = condora::getDbKind(connection);
    state.backslashEscapes = condora::usesBackslashEscapes(connection);
    state.likeBackslashEscapes = condora::usesLikeBackslashEscapes(connection);

    QString statement = condora::trimSpaces(condora::text::trim(m_sqlInput));
    if (statement.isEmpty()) {
        condora::messageBox(u"Please input SQL!"_s, condora::MessageButtons::Ok, condora::MessageIcon::Exclamation,
                            condora::queryTitle());
        return;
    }
    if (statement.endsWith(u';')) {
        statement.chop(1);
    }
    state.baseSql = statement;

    const QString rejection = condora::testSql(state.baseSql);
    if (!rejection.isEmpty()) {
        condora::messageBox(u"Illegal SQL expression!"_s + u"\r\n"_s + rejection, condora::MessageButtons::Ok,
                            condora::MessageIcon::Exclamation, condora::queryTitle());
        return;
    }

    condora::FieldCatalog catalog;
    condora::TableList tables;
    if (!condora::splitSql(statement, catalog, tables)) {
        return;
    }
    if (!condora::prepareFilters(state.filterList, catalog)) {
        return;
    }
    state.fieldCatalog = catalog;

    captureStyle();
    const condora::QueryDialogFunction &showQueryDialog = condora::queryDialogFunction();
    if (!showQueryDialog) {
        throw condora::RuntimeError::objectNotSet(u"The query dialog is not available."_s);
    }
    showQueryDialog();
}

QString Condora::GetQuerySql()
{
    runQuery();
    return condora::analysisState().resultSql;
}

std::unique_ptr<condora::ado::Recordset> Condora::GetQueryResult(int QueryType)
{
    std::unique_ptr<condora::ado::Recordset> result;
    condora::UserInteraction &ui = condora::UserInteraction::instance();
    try {
        runQuery();
        ui.setMousePointer(condora::MousePointer::Hourglass);
        condora::AnalysisState &state = condora::analysisState();
        if (!condora::text::trim(state.resultSql).isEmpty()) {
            condora::ado::Connection &connection = condora::currentConnection();
            if (state.dbKind == u"3"_s) {
                connection.setCursorLocation(condora::ado::adUseClient);
            }
            const int options = QueryType == 1 ? condora::ado::adAsyncExecute : condora::ado::adOptionUnspecified;
            result = connection.Execute(state.resultSql, options);
            connection.setCursorLocation(state.savedCursorLocation);
        }
        ui.setMousePointer(condora::MousePointer::Default);
    } catch (...) {
        condora::showCurrentError(QString());
    }
    return result;
}

QString Condora::SetFilterCondition(const QStringList &filterCondition)
{
    QStringList &filterList = condora::analysisState().filterList;
    filterList = filterCondition;
    if (filterList.isEmpty()) {
        filterList = QStringList{QString()};
    }
    return QString();
}

void Condora::ShowAboutBox()
{
    condora::AboutDialog about(window());
    about.exec();
}

void Condora::captureStyle()
{
    condora::DialogStyle &style = condora::dialogStyle();
    style.ButtonPicture = m_buttonPicture;
    style.ButtonBackColor = m_buttonBackColor;
    style.GridFont = m_gridFont;
    style.GridFontFixed = m_gridFontFixed;
    style.FormBackColor = m_formBackColor;
    style.FormPicture = m_formPicture;
    style.GridColor = m_gridColor;
    style.GridColorFixed = m_gridColorFixed;
    style.GridColorUnpopulated = m_gridColorUnpopulated;
    style.GridForeColor = m_gridForeColor;
    style.GridForeColorFixed = m_gridForeColorFixed;
    style.GridForeColorSel = m_gridForeColorSel;
    style.GridBackColor = m_gridBackColor;
    style.GridBackColorBkg = m_gridBackColorBkg;
    style.GridBackColorFixed = m_gridBackColorFixed;
    style.GridBackColorSel = m_gridBackColorSel;
    style.GridBackColorUnpopulated = m_gridBackColorUnpopulated;
    style.LabelBackColor = m_labelBackColor;
    style.LabelForeColor = m_labelForeColor;
    style.LabelFont = m_labelFont;
    style.ButtonFont = m_buttonFont;
}

// Appearance on the parent window --------------------------------------------------------------

QSize Condora::sizeHint() const
{
    return m_designSize;
}

QSize Condora::minimumSizeHint() const
{
    return m_designSize;
}

void Condora::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(0, 0, controlPicture());
}

void Condora::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (event->size() != m_designSize) {
        resize(m_designSize);
    }
}

// Properties ------------------------------------------------------------------------------------

void Condora::notify(void (Condora::*signal)(), const QString &name)
{
    Q_EMIT(this->*signal)();
    Q_EMIT propertyChanged(name);
}

void Condora::setEnabled(bool Enabled)
{
    m_enabled = Enabled;
    notify(&Condora::EnabledChanged, u"Enabled"_s);
}

void Condora::setConnObj(std::shared_ptr<condora::ado::Connection> ConnObj)
{
    m_connObj = std::move(ConnObj);
    notify(&Condora::ConnObjChanged, u"ConnObj"_s);
}

void Condora::setTitle(const QString &Title)
{
    m_title = Title;
    notify(&Condora::TitleChanged, u"Title"_s);
}

void Condora::setSqlInput(const QString &SqlInput)
{
    m_sqlInput = SqlInput;
    notify(&Condora::SqlInputChanged, u"SqlInput"_s);
}

void Condora::setButtonFont(condora::FontHandle ButtonFont)
{
    m_buttonFont = std::move(ButtonFont);
    notify(&Condora::ButtonFontChanged, u"ButtonFont"_s);
}

void Condora::setLabelFont(condora::FontHandle LabelFont)
{
    m_labelFont = std::move(LabelFont);
    notify(&Condora::LabelFontChanged, u"LabelFont"_s);
}

void Condora::setLabelBackColor(OleColor LabelBackColor)
{
    m_labelBackColor = LabelBackColor;
    notify(&Condora::LabelBackColorChanged, u"LabelBackColor"_s);
}

void Condora::setLabelForeColor(OleColor LabelForeColor)
{
    m_labelForeColor = LabelForeColor;
    notify(&Condora::LabelForeColorChanged, u"LabelForeColor"_s);
}

void Condora::setGridColor(OleColor GridColor)
{
    m_gridColor = GridColor;
    notify(&Condora::GridColorChanged, u"GridColor"_s);
}

void Condora::setGridColorFixed(OleColor GridColorFixed)
{
    m_gridColorFixed = GridColorFixed;
    notify(&Condora::GridColorFixedChanged, u"GridColorFixed"_s);
}

void Condora::setGridColorUnpopulated(OleColor GridColorUnpopulated)
{
    m_gridColorUnpopulated = GridColorUnpopulated;
    notify(&Condora::GridColorUnpopulatedChanged, u"GridColorUnpopulated"_s);
}

void Condora::setGridForeColor(OleColor GridForeColor)
{
    m_gridForeColor = GridForeColor;
    notify(&Condora::GridForeColorChanged, u"GridForeColor"_s);
}

void Condora::setGridForeColorFixed(OleColor GridForeColorFixed)
{
    m_gridForeColorFixed = GridForeColorFixed;
    notify(&Condora::GridForeColorFixedChanged, u"GridForeColorFixed"_s);
}

void Condora::setFormBackColor(OleColor FormBackColor)
{
    m_formBackColor = FormBackColor;
    notify(&Condora::FormBackColorChanged, u"FormBackColor"_s);
}

void Condora::setFormPicture(condora::PictureHandle FormPicture)
{
    m_formPicture = std::move(FormPicture);
    notify(&Condora::FormPictureChanged, u"FormPicture"_s);
}

void Condora::setButtonBackColor(OleColor ButtonBackColor)
{
    m_buttonBackColor = ButtonBackColor;
    notify(&Condora::ButtonBackColorChanged, u"ButtonBackColor"_s);
}

void Condora::setGridFont(condora::FontHandle GridFont)
{
    m_gridFont = std::move(GridFont);
    notify(&Condora::GridFontChanged, u"GridFont"_s);
}

void Condora::setGridFontFixed(condora::FontHandle GridFontFixed)
{
    m_gridFontFixed = std::move(GridFontFixed);
    notify(&Condora::GridFontFixedChanged, u"GridFontFixed"_s);
}

void Condora::setButtonPicture(condora::PictureHandle ButtonPicture)
{
    m_buttonPicture = std::move(ButtonPicture);
    notify(&Condora::ButtonPictureChanged, u"ButtonPicture"_s);
}

void Condora::setGridForeColorSel(OleColor GridForeColorSel)
{
    m_gridForeColorSel = GridForeColorSel;
    notify(&Condora::GridForeColorSelChanged, u"GridForeColorSel"_s);
}

void Condora::setGridBackColor(OleColor GridBackColor)
{
    m_gridBackColor = GridBackColor;
    notify(&Condora::GridBackColorChanged, u"GridBackColor"_s);
}

void Condora::setGridBackColorBkg(OleColor GridBackColorBkg)
{
    m_gridBackColorBkg = GridBackColorBkg;
    notify(&Condora::GridBackColorBkgChanged, u"GridBackColorBkg"_s);
}

void Condora::setGridBackColorFixed(OleColor GridBackColorFixed)
{
    m_gridBackColorFixed = GridBackColorFixed;
    notify(&Condora::GridBackColorFixedChanged, u"GridBackColorFixed"_s);
}

void Condora::setGridBackColorSel(OleColor GridBackColorSel)
{
    m_gridBackColorSel = GridBackColorSel;
    notify(&Condora::GridBackColorSelChanged, u"GridBackColorSel"_s);
}

void Condora::setGridBackColorUnpopulated(OleColor GridBackColorUnpopulated)
{
    m_gridBackColorUnpopulated = GridBackColorUnpopulated;
    notify(&Condora::GridBackColorUnpopulatedChanged, u"GridBackColorUnpopulated"_s);
}
