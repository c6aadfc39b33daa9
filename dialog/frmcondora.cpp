// The query dialog around its condition editor: its captions, buttons and SQL preview, load,
// layout, Verify, OK, Cancel and close. The condition rows, their grid and editors are the
// ConditionEditor's (conditioneditor*.cpp).

#include "dialog/frmcondora.h"

#include "condition/emptyresult.h"
#include "platform/ado/recordset.h"

#include "analysis/statementtools.h"
#include "condition/conditioncomposer.h"
#include "condition/conditionjson.h"
#include "condition/conditionvalidator.h"
#include "dialog/applystyle.h"
#include "dialog/busyactivity.h"
#include "dialog/livecount.h"
#include "dialog/errortraps.h"
#include "dialog/twipsgeometry.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/twips.h"
#include "platform/userinteraction.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QMoveEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace condora {

using errortraps::ignoreErrors;
using errortraps::reportErrorsUnless;
using twipsgeometry::setTwipsGeometry;
using twipsgeometry::twipsGeometry;

namespace {

// The design client area; with the design frame it gives the minimum outer size.
constexpr int DesignClientWidth = frmCondora::MinimumWidth - twipsgeometry::FrameWidth;
constexpr int DesignClientHeight = frmCondora::MinimumHeight - twipsgeometry::FrameHeight;
/// The preview's height of the design, in twips: the least it gets.
constexpr int DesignPreviewHeight = 500;
/// The design's grid top and the design heights of the captions above it and of the buttons.
constexpr int DesignGridTop = 660;
constexpr int DesignCaptionBottom = 495;
constexpr int DesignButtonHeight = 375;
/// The design's gaps between the buttons: Add, Delete, Verify, OK, Cancel.
constexpr int ButtonGaps = 50 + 600 + 50 + 50;

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption, const QRect &twips)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Enter in the Value editor must not press a button.
    button->setAutoDefault(false);
    button->setDefault(false);
    setTwipsGeometry(button, twips);
    return button;
}

/// Marks the editor busy while a button's action runs, and gives the mark back afterwards.
class ActingScope
{
public:
    explicit ActingScope(ConditionEditor &editor)
        : m_editor(editor)
        , m_was(editor.acting())
    {
        editor.setActing(true);
    }
    ~ActingScope() { m_editor.setActing(m_was); }
    ActingScope(const ActingScope &) = delete;
    ActingScope &operator=(const ActingScope &) = delete;

private:
    ConditionEditor &m_editor;
    bool m_was;
};

bool isPlainKey(const QKeyEvent *event)
{
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

frmCondora::frmCondora(QueryRun run, QWidget *parent)
    : QDialog(parent)
    , m_run(std::move(run))
{
    setObjectName(u"frmCondora"_s);
    // The host's Title names the window when it is set.
    setWindowTitle(m_run.title.isEmpty() ? tr("QUERY") : m_run.title);
    setModal(true);
    setSizeGripEnabled(false);
    if (m_run.connection) {
        m_busy = std::make_unique<BusyScope>(*m_run.connection, this);
    }
    createControls();
    resize(twips::toPixels(DesignClientWidth), twips::toPixels(DesignClientHeight));
    applyMinimumSize();
    load();
    // The switch is offered only when the host asked for it (the control's ShowSql).
    m_chkSqlShow->setVisible(m_run.showSqlSwitch);
    m_label2->setVisible(m_run.showSqlSwitch);
    applyMinimumSize();
    // Keyboard users start in the grid, on its first cell.
    m_editor->grid()->setFocus(Qt::OtherFocusReason);
    if (m_busy) {
        connect(&m_busy->activity(), &BusyActivity::indicatorShown, this, [this](QWidget *surface) {
            if (surface == this) {
                setButtonsIdle(false);
            }
        });
        connect(&m_busy->activity(), &BusyActivity::settled, this, [this] { setButtonsIdle(true); });
    }
}

void frmCondora::setButtonsIdle(bool idle)
{
    if (!idle) {
        if (!m_buttonsBeforeBusy.isEmpty()) {
            return;
        }
        m_focusBeforeBusy = QApplication::focusWidget();
        for (QPushButton *button : {m_editor->getValueButton(), m_cmdAdd, m_cmdDel, m_cmdOK, m_cmdCancel, m_cmdVerify}) {
            m_buttonsBeforeBusy.append({button, button->isEnabled()});
            button->setEnabled(false);
        }
        return;
    }
    for (const auto &[button, enabled] : std::exchange(m_buttonsBeforeBusy, {})) {
        if (button) {
            button->setEnabled(enabled);
        }
    }
    if (const QPointer<QWidget> focus = std::exchange(m_focusBeforeBusy, nullptr);
        focus && focus->isEnabled() && isActiveWindow() && QApplication::focusWidget() != focus) {
        focus->setFocus(Qt::OtherFocusReason);
    }
}

frmCondora::~frmCondora()
{
    // The busy state may end while the dialog goes (its activity settles on destruction): its
    // signals must not reach the members already gone.
    if (m_busy) {
        disconnect(&m_busy->activity(), nullptr, this, nullptr);
    }
}

void frmCondora::createControls()
{
    m_label1 = new QLabel(tr("Query Condition:"), this);
    m_label1->setObjectName(u"Label1"_s);
    QFont labelFont(u"MS Sans Serif"_s, 12, QFont::Bold);
    m_label1->setFont(labelFont);
    setTwipsGeometry(m_label1, QRect(120, 180, 3435, 315));

    m_chkSqlShow = new QCheckBox(this);
    m_chkSqlShow->setObjectName(u"chkSqlShow"_s);
    m_chkSqlShow->setChecked(false);
    setTwipsGeometry(m_chkSqlShow, QRect(6540, 240, 195, 195));
    m_chkSqlShow->hide();

    m_label2 = new QLabel(tr(" Show Sql"), this);
    m_label2->setObjectName(u"Label2"_s);
    setTwipsGeometry(m_label2, QRect(6720, 240, 1275, 255));
    m_label2->hide();
    m_label2->installEventFilter(this);

    m_editor = new ConditionEditor(m_run, this);
    m_editor->place(QRect(180, 660, 7575, 3435));

    m_txtCondition = new QPlainTextEdit(this);
    m_txtCondition->setObjectName(u"txtCondition"_s);
    m_txtCondition->setReadOnly(true);
    m_txtCondition->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTwipsGeometry(m_txtCondition, QRect(300, 4140, 1575, 495));
    m_txtCondition->hide();

    m_cmdAdd = makeButton(this, u"cmdAdd"_s, tr("&Add"), QRect(180, 4920, 1275, 375));
    m_cmdDel = makeButton(this, u"cmdDel"_s, tr("&Delete"), QRect(1500, 4920, 1275, 375));
    m_cmdOK = makeButton(this, u"cmdOK"_s, tr("&OK"), QRect(5460, 4920, 1275, 375));
    m_cmdCancel = makeButton(this, u"cmdCancel"_s, tr("&Cancel"), QRect(6780, 4920, 1275, 375));
    m_cmdVerify = makeButton(this, u"cmdVerify"_s, tr("&Verify"), QRect(2820, 4920, 1275, 375));

    // The focus order of the design (labels take no focus).
    QWidget::setTabOrder(m_chkSqlShow, m_cmdAdd);
    QWidget::setTabOrder(m_cmdAdd, m_cmdDel);
    QWidget::setTabOrder(m_cmdDel, m_cmdOK);
    QWidget::setTabOrder(m_cmdOK, m_cmdCancel);
    QWidget::setTabOrder(m_cmdCancel, m_cmdVerify);
    QWidget::setTabOrder(m_cmdVerify, m_txtCondition);
    m_editor->setTabOrderAfter(m_txtCondition);

    connect(m_chkSqlShow, &QCheckBox::toggled, this, [this](bool checked) { showSql(checked); });
    connect(m_cmdVerify, &QPushButton::clicked, this, &frmCondora::onVerify);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmCondora::onOk);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmCondora::onCancel);
    connect(m_cmdAdd, &QPushButton::clicked, this, &frmCondora::onAdd);
    connect(m_cmdDel, &QPushButton::clicked, this, &frmCondora::onDelete);
    connect(m_editor, &ConditionEditor::composed, this, &frmCondora::onComposed);
    m_cmdAdd->installEventFilter(this);
    nameControls();
    if (m_run.recentConditions) {
        createRecentList();
    }
    if (m_run.liveCount && m_run.connection) {
        m_lblLiveCount = new QLabel(this);
        m_liveCount = new LiveCount(m_run.connection, m_lblLiveCount, this);
        if (m_busy) { // the dialog's own statements go first
            connect(&m_busy->activity(), &BusyActivity::begun, m_liveCount, &LiveCount::stop);
        }
    }
}

void frmCondora::createRecentList()
{
    m_cboRecent = new QComboBox(this);
    m_cboRecent->setObjectName(u"cboRecent"_s);
    m_cboRecent->setEditable(false);
    m_cboRecent->setAccessibleName(tr("Recent conditions"));
    m_cboRecent->setAccessibleDescription(tr("Conditions accepted earlier on this statement; picking one fills the grid with it."));
    m_cboRecent->addItem(tr("Recent conditions"));
    for (const QString &json : m_run.recentRows) {
        // Each entry shows its condition as it reads in the statement.
        QString label;
        ignoreErrors([&] {
            const LoadedConditionRows loaded = conditionRowsFromJson(json, m_run.fieldCatalog, m_run.moreOperators);
            label = composeCondition(loaded.terms, m_run).condition.trimmed();
        });
        m_cboRecent->addItem(label.isEmpty() ? json : label, json);
    }
    m_cboRecent->setEnabled(m_cboRecent->count() > 1);
    setTwipsGeometry(m_cboRecent, QRect(3660, 180, 2700, 315));
    QWidget::setTabOrder(m_editor->grid(), m_cboRecent);
    connect(m_cboRecent, &QComboBox::activated, this, &frmCondora::onRecentPicked);
}

void frmCondora::onRecentPicked(int index)
{
    if (index <= 0 || m_editor->acting()) {
        return;
    }
    const QString json = m_cboRecent->itemData(index).toString();
    m_cboRecent->setCurrentIndex(0);
    const LoadedConditionRows loaded = conditionRowsFromJson(json, m_run.fieldCatalog, m_run.moreOperators);
    // The messages a preloaded condition gives (the control's own texts).
    if (!loaded.dropped.isEmpty()) {
        say(QCoreApplication::translate("Condora", "The statement has no column for these rows of the condition, so "
                                                   "they were left out: %1")
                .arg(loaded.dropped.join(u", "_s)),
            MessageButtons::Ok, MessageIcon::Exclamation);
    }
    if (!loaded.unsuited.isEmpty()) {
        say(QCoreApplication::translate("Condora", "The operator of these rows of the condition does not suit their "
                                                   "column, so they were left out: %1")
                .arg(loaded.unsuited.join(u", "_s)),
            MessageButtons::Ok, MessageIcon::Exclamation);
    }
    m_editor->pickRows(loaded.terms);
}

void frmCondora::load()
{
    m_editor->load();
    applyStyle(this, m_run.style);
    fitToFonts();
    m_editor->startEditing();
    m_resultPending = true;
}

void frmCondora::setConditionRows(const ConditionRows &rows)
{
    m_editor->setConditionRows(rows);
}

ConditionRows frmCondora::conditionRows() const
{
    return m_editor->conditionRows();
}

void frmCondora::setConditionTerms(const ConditionTerms &terms)
{
    m_editor->setConditionTerms(terms);
}

ConditionTerms frmCondora::conditionTerms() const
{
    return m_editor->conditionTerms();
}

void frmCondora::onComposed(const ComposedCondition &composed)
{
    m_resultSql = composed.statement;
    m_refusal = composed.refusal;
    m_txtCondition->setPlainText(composed.condition);
    if (m_liveCount) { // counted only while the condition would pass Verify's checks
        m_liveCount->setStatement(validateConditions(m_editor->conditionTerms(), m_run) ? QString() : m_resultSql);
    }
}

void frmCondora::onAdd()
{
    m_editor->addRow(std::exchange(m_addByKeyboard, false));
}

void frmCondora::onDelete()
{
    m_editor->deleteRow();
}

MessageAnswer frmCondora::say(const QString &text, MessageButtons buttons, MessageIcon icon,
                              MessageDefault defaultButton, const QString &detail)
{
    return runMessage(m_run, text, buttons, icon, defaultButton, detail);
}

QSize frmCondora::realFrame() const
{
    if (!isVisible()) {
        return QSize(twips::toPixels(twipsgeometry::FrameWidth), twips::toPixels(twipsgeometry::FrameHeight));
    }
    return frameGeometry().size() - geometry().size();
}

void frmCondora::applyMinimumSize()
{
    // The minimum is an outer size: less the frame the window system really draws (none on the
    // offscreen platform, its own on a desktop), known once the dialog is shown. QWidget grows a
    // smaller window to it.
    const QSize frame = realFrame();
    const QSize content = contentMinimum();
    setMinimumSize(std::max(twips::toPixels(MinimumWidth) - frame.width(), twips::toPixels(content.width())),
                   std::max(twips::toPixels(MinimumHeight) - frame.height(), twips::toPixels(content.height())));
}

int frmCondora::extraButtonHeight() const
{
    return std::max(0, twipsGeometry(m_cmdCancel).height() - DesignButtonHeight);
}

int frmCondora::gridTop() const
{
    // Below the captions, as far below them as in the design, when a large font makes them taller.
    const int label2 = m_label2->isHidden() ? 0 : twipsGeometry(m_label2).bottom() + 1;
    const int captions = std::max(twipsGeometry(m_label1).bottom() + 1, label2);
    return std::max(DesignGridTop, captions + DesignGridTop - DesignCaptionBottom);
}

QSize frmCondora::contentMinimum() const
{
    // The client area in twips that shows every control whole and apart: the buttons side by
    // side within the grid's width, the captions beside each other, and the header with two rows.
    int buttons = ButtonGaps;
    for (QPushButton *button : {m_cmdAdd, m_cmdDel, m_cmdVerify, m_cmdOK, m_cmdCancel}) {
        buttons += twipsGeometry(button).width();
    }
    int width = 60 + buttons + 160;
    if (!m_label2->isHidden()) {
        width = std::max(width, 120 + twipsGeometry(m_label1).width() + 60 + twipsGeometry(m_chkSqlShow).width()
                                    + twipsGeometry(m_label2).width() + 160);
    }
    int height = gridTop() + 3 * m_editor->comItemHeight() + 950 + extraButtonHeight();
    if (!m_txtCondition->isHidden()) {
        height += previewHeight() + 100;
    }
    return QSize(width, height);
}

void frmCondora::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    applyMinimumSize();
}

void frmCondora::moveEvent(QMoveEvent *event)
{
    QDialog::moveEvent(event);
    // A window manager reports its frame with the first move after mapping the window.
    applyMinimumSize();
}

void frmCondora::fitToFonts()
{
    using namespace twipsgeometry;
    // What the user types in a cell looks as it will in the cell.
    m_editor->fitToFonts();
    // The design sizes are the least each control gets; a larger font (or a longer caption in
    // another language) grows it to the size its style asks for, so no caption is cut.
    for (QWidget *control : std::initializer_list<QWidget *>{m_label1, m_label2, m_cmdAdd, m_cmdDel, m_cmdVerify,
                                                             m_cmdOK, m_cmdCancel}) {
        const QSize wanted = control->sizeHint();
        QRect g = twipsGeometry(control);
        g.setWidth(std::max(g.width(), twips::fromPixels(wanted.width())));
        g.setHeight(std::max(g.height(), twips::fromPixels(wanted.height())));
        setTwipsGeometry(control, g);
    }
}

int frmCondora::previewHeight() const
{
    // Room for one line of the statement (it scrolls on), within the frame and margins.
    const int frame = 2 * m_txtCondition->frameWidth();
    const int margins = 2 * int(std::ceil(m_txtCondition->document()->documentMargin()));
    const int line = QFontMetrics(m_txtCondition->font()).lineSpacing();
    return std::max(DesignPreviewHeight, twips::fromPixels(line + margins + frame));
}

void frmCondora::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    layoutControls();
}

void frmCondora::layoutControls()
{
    using namespace twipsgeometry;
    // Snaps back a window made smaller than its minimum (through the window system or resize()).
    ignoreErrors([this] { applyMinimumSize(); });
    const int w = windowWidth(this);
    const int h = windowHeight(this);

    // Taller buttons (a large font) take their room from the grid, not from the controls above them.
    const int extra = extraButtonHeight();
    ignoreErrors([&] {
        QRect g = twipsGeometry(m_editor);
        g.moveLeft(60);
        g.moveTop(gridTop());
        g.setWidth(w - g.left() - 160);
        if (m_txtCondition->isHidden()) {
            g.setHeight(h - g.top() - 950 - extra);
        } else {
            g.setHeight(h - g.top() - twipsGeometry(m_txtCondition).height() - 1050 - extra);
        }
        m_editor->place(g);
    });
    const QRect grid = twipsGeometry(m_editor);
    ignoreErrors([&] {
        QRect t = twipsGeometry(m_txtCondition);
        t.moveTop(grid.height() + grid.top() + 20);
        t.moveLeft(grid.left());
        t.setWidth(grid.width());
        setTwipsGeometry(m_txtCondition, t);
    });

    const int gridRight = grid.width() + grid.left();
    ignoreErrors([&] {
        const int cancelLeft = gridRight - twipsGeometry(m_cmdCancel).width();
        const int okLeft = cancelLeft - twipsGeometry(m_cmdOK).width() - 50;
        const int verifyLeft = okLeft - twipsGeometry(m_cmdVerify).width() - 600;
        const int delLeft = verifyLeft - twipsGeometry(m_cmdDel).width() - 50;
        const int addLeft = delLeft - twipsGeometry(m_cmdAdd).width() - 50;
        setLeft(m_cmdCancel, cancelLeft);
        setLeft(m_cmdOK, okLeft);
        setLeft(m_cmdVerify, verifyLeft);
        setLeft(m_cmdDel, delLeft);
        setLeft(m_cmdAdd, addLeft);
    });
    ignoreErrors([&] {
        const int top = h - twipsGeometry(m_cmdCancel).height() - 500;
        for (QPushButton *button : {m_cmdCancel, m_cmdOK, m_cmdVerify, m_cmdDel, m_cmdAdd}) {
            setTop(button, top);
        }
    });
    if (m_lblLiveCount) { // left of the buttons, on their line
        ignoreErrors([&] {
            const QRect add = twipsGeometry(m_cmdAdd);
            setTwipsGeometry(m_lblLiveCount, QRect(grid.left(), add.top(), std::max(0, add.left() - 120 - grid.left()), add.height()));
            m_liveCount->refit();
        });
    }
    ignoreErrors([&] {
        const int label2Left = gridRight - twipsGeometry(m_label2).width();
        setLeft(m_label2, label2Left);
        setLeft(m_chkSqlShow, label2Left - twipsGeometry(m_chkSqlShow).width());
    });
    if (m_cboRecent) {
        // Between the caption and the Show Sql switch, as wide as the room there allows.
        ignoreErrors([&] {
            const int left = twipsGeometry(m_label1).right() + 120;
            const int right = (m_chkSqlShow->isHidden() ? gridRight : twipsGeometry(m_chkSqlShow).left()) - 120;
            QRect r = twipsGeometry(m_cboRecent);
            r.moveLeft(left);
            r.setWidth(std::max(600, std::min(2700, right - left)));
            setTwipsGeometry(m_cboRecent, r);
        });
    }
}

void frmCondora::showSql(bool showTag)
{
    using namespace twipsgeometry;
    ignoreErrors([&] {
        const int preview = previewHeight();
        setHeight(m_txtCondition, preview);
        QRect g = twipsGeometry(m_editor);
        if (showTag) {
            g.setHeight(g.height() - preview);
            m_editor->place(g);
            m_txtCondition->show();
        } else {
            g.setHeight(g.height() + preview);
            m_editor->place(g);
            m_txtCondition->hide();
        }
        // The window grows when the preview needs more room than it has.
        applyMinimumSize();
        QRect t = twipsGeometry(m_txtCondition);
        t.moveLeft(g.left());
        t.moveTop(g.height() + g.top() + 20);
        t.setWidth(g.width());
        setTwipsGeometry(m_txtCondition, t);
    });
}

bool frmCondora::checkStatement()
{
    if (const auto problem = validateConditions(conditionTerms(), m_run)) {
        using Cells = ConditionProblem::Cells;
        if (problem->cells != Cells::None) {
            const int first = problem->cells == Cells::WholeRow ? ConditionCol::OpenBracket
                              : problem->cells == Cells::Value  ? ConditionCol::Value
                                                                : ConditionCol::Logical;
            const int last = problem->cells == Cells::WholeRow ? ConditionCol::Logical : first;
            m_editor->selectCells(problem->row, first, last);
        }
        if (problem->openEditor) {
            m_editor->editCell();
        }
        say(problem->message, MessageButtons::Ok, MessageIcon::Exclamation, MessageDefault::First,
            problem->row > 0 ? m_editor->rowDetail(problem->row) : QString());
        return false;
    }
    m_editor->recompose();
    if (!m_refusal.isEmpty()) {
        say(m_refusal, MessageButtons::Ok, MessageIcon::Exclamation);
        return false;
    }
    const QString m = testSql(connectionOf(m_run), m_resultSql);
    if (m_abandoned) {
        return false; // the window went meanwhile: nothing more to say
    }
    if (!m.isEmpty()) {
        say(m + u"\r\n"_s + tr("Wrong query condition!"));
        return false;
    }
    return true;
}

void frmCondora::onVerify()
{
    if (m_editor->acting()) {
        return;
    }
    const ActingScope acting(*m_editor);
    reportErrorsUnless([this] { return m_abandoned; }, [this] {
        if (checkStatement()) {
            if (m_countRows) {
                reportRowCount();
            } else {
                say(tr("Ok!"));
            }
        }
    });
}

qint64 frmCondora::countRows(const QString &statement) const
{
    ado::Recordset recordset;
    recordset.Open(statement, connectionOf(m_run));
    const qint64 rows = recordset.Eof() ? 0 : recordset.Fields().Item(0).Value().toLongLong();
    recordset.Close();
    return rows;
}

void frmCondora::reportRowCount()
{
    const QString crlf = u"\r\n"_s;
    qint64 rows = 0;
    try {
        rows = countRows(countSql(m_resultSql));
    } catch (const RuntimeError &error) {
        if (error.number() == ErrorNumber::Cancelled || m_abandoned) {
            throw;
        }
        say(tr("Ok!") + crlf + tr("The rows could not be counted: %1").arg(error.description()));
        return;
    }
    if (m_abandoned) {
        return;
    }
    if (rows > 0) {
        say(tr("Ok!") + crlf + (rows == 1 ? tr("1 row") : tr("%1 rows").arg(rows)));
        return;
    }
    const ConditionTerms condition = conditionTerms();
    const bool used =
        std::any_of(condition.cbegin(), condition.cend(), [](const ConditionTerm &row) { return row.isUsed(); });
    if (!used) {
        say(tr("Ok!") + crlf + tr("The statement returns no rows."));
        return;
    }
    const MessageAnswer answer =
        say(tr("Ok!") + crlf + tr("No rows match the condition.") + crlf
                       + tr("Find the rows of the condition that rule out every row?"),
                   MessageButtons::OkCancel, MessageIcon::Question);
    if (answer == MessageAnswer::Ok) {
        explainNoRows();
    }
}

void frmCondora::explainNoRows()
{
    const ConditionTerms rows = conditionTerms();
    const auto culprits =
        rowsRulingOutEveryRow(rows, m_run, [this](const QString &statement) { return countRows(statement); });
    if (!culprits) {
        say(tr("Even without any one, two or three rows of the condition the statement returns no rows."));
        return;
    }
    QStringList numbers;
    for (int r : *culprits) {
        numbers.append(QString::number(r + 1));
        m_editor->grid()->setRowMark(r + 1, tr("used in the condition; rules out every row"));
    }
    m_editor->selectCells(culprits->first() + 1, ConditionCol::OpenBracket, ConditionCol::Logical);
    say(culprits->size() == 1
                   ? tr("Row %1 of the condition rules out every row: without it the statement returns rows.")
                         .arg(numbers.first())
                   : tr("Rows %1 of the condition together rule out every row: without them the statement returns "
                        "rows.")
                         .arg(numbers.join(u", "_s)));
}

void frmCondora::onOk()
{
    if (m_editor->acting()) {
        return;
    }
    const ActingScope acting(*m_editor);
    reportErrorsUnless([this] { return m_abandoned; }, [this] {
        if (checkStatement()) {
            m_resultPending = false;
            accept();
        }
    });
}

void frmCondora::onCancel()
{
    if (m_editor->acting()) {
        return;
    }
    m_resultSql.clear();
    m_resultPending = false;
    reject();
}

void frmCondora::done(int result)
{
    // Closing while a statement runs would end exec() under it; only a dialog whose window is
    // going away closes then.
    if (!m_abandoned && m_run.connection && m_run.connection->statementRunning()) {
        return;
    }
    if (m_resultPending) {
        m_resultSql.clear();
    }
    if (m_liveCount) {
        m_liveCount->setStatement(QString()); // the host's statements need the worker now
    }
    QDialog::done(result);
}

void frmCondora::abandon()
{
    m_abandoned = true;
    m_editor->abandon();
    setParent(nullptr, windowFlags());
    // The value picker, when it is open, closes first: this dialog's exec() ends after it.
    for (QDialog *child : findChildren<QDialog *>()) {
        child->reject();
    }
    reject();
}

bool frmCondora::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_cmdAdd && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        m_addByKeyboard = true;
    }
    if (watched == m_cmdAdd && event->type() == QEvent::Shortcut) {
        m_addByKeyboard = true; // Alt+A
    }
    if (watched == m_label2 && event->type() == QEvent::MouseButtonRelease) {
        m_chkSqlShow->setChecked(!m_chkSqlShow->isChecked());
        return false;
    }
    return QDialog::eventFilter(watched, event);
}

void frmCondora::keyPressEvent(QKeyEvent *event)
{
    if (m_editor->undoRedoKey(event)) {
        event->accept();
        return;
    }
    // Escape belongs to an open editor first; only then does it close the dialog, and not
    // before the user agreed to drop the rows in use.
    if (event->key() == Qt::Key_Escape && isPlainKey(event)) {
        if (m_editor->editorOpen()) {
            m_editor->cancelEditor();
            event->accept();
            return;
        }
        if (!confirmDiscard()) {
            event->accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

bool frmCondora::confirmDiscard()
{
    const ConditionTerms rows = conditionTerms();
    if (std::none_of(rows.cbegin(), rows.cend(), [](const ConditionTerm &row) { return row.isUsed(); })) {
        return true;
    }
    return say(tr("Close the query and drop its condition?"), MessageButtons::OkCancel, MessageIcon::Question,
               MessageDefault::Second)
           == MessageAnswer::Ok;
}

void frmCondora::nameControls()
{
    setAccessibleName(tr("Query"));
    setAccessibleDescription(tr("Build the condition of the query row by row, then press OK."));
    m_chkSqlShow->setAccessibleName(tr("Show Sql"));
    m_chkSqlShow->setAccessibleDescription(tr("Shows the composed condition under the grid."));
    m_txtCondition->setAccessibleName(tr("Composed condition"));
    m_txtCondition->setAccessibleDescription(tr("The condition as it will be added to the statement."));
    m_cmdAdd->setAccessibleName(tr("Add row"));
    m_cmdAdd->setAccessibleDescription(tr("Adds an empty row at the end of the condition."));
    m_cmdDel->setAccessibleName(tr("Delete row"));
    m_cmdDel->setAccessibleDescription(tr("Deletes the current row after asking."));
    m_cmdVerify->setAccessibleName(tr("Verify"));
    m_cmdVerify->setAccessibleDescription(tr("Checks the condition against the database."));
    m_cmdOK->setAccessibleName(tr("OK"));
    m_cmdOK->setAccessibleDescription(tr("Checks the condition and closes with it."));
    m_cmdCancel->setAccessibleName(tr("Cancel"));
    m_cmdCancel->setAccessibleDescription(tr("Closes without a condition."));
}

} // namespace condora
