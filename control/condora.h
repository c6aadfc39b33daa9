#pragma once

#include "condora_export.h"

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "analysis/dbkind.h"
#include "platform/dialogstyle.h"
#include "platform/olecolor.h"
#include "control/querymodel.h"

#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>

#include <memory>

namespace condora {
class BusyActivity;
class PropertyBag;
class frmCondora;
struct QueryRun;
}
class CondoraPrivate;
struct CondoraOpenRun;

/// The query-condition builder control.
///
/// A host places it on one of its windows, hands it an open connection (`ConnObj`) and a base
/// SELECT statement (`SqlInput`), optionally one filter condition per select-list column
/// (`SetFilterCondition`), and then calls `GetQuerySql` or `GetQueryResult`. Each call is one
/// query run: the statement is checked and analysed, the modal query dialog lets the user build
/// a WHERE condition, and the call returns the final statement or its recordset once the dialog
/// has closed.
///
/// Every property is a Q_PROPERTY and every method Q_INVOKABLE, so hosts can also reach them by
/// name (`setProperty("SqlInput", ...)`, `QMetaObject::invokeMethod(c, "GetQuerySql", ...)`).
/// Each setter stores the value and then emits the property's own change signal and
/// propertyChanged() with the property's name, also when the value did not change. No setter
/// checks or applies its value at once: the query run reads `ConnObj`, `SqlInput` and `Title`
/// when it starts, and the appearance values when it opens the dialog.
///
/// Object-valued properties hold shared handles: setting one stores the handle the caller
/// passed, reading returns that same handle, so changing the font object afterwards changes
/// what the control holds. A null handle is "no object".
///
/// On its parent window the control is a fixed 465 x 480 twips picture of a magnifying glass;
/// any resize snaps back. It declares the mouse and keyboard event signals and never emits them.
class CONDORA_EXPORT Condora : public QWidget
{
    Q_OBJECT

    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled NOTIFY EnabledChanged)
    Q_PROPERTY(std::shared_ptr<condora::ado::Connection> ConnObj READ ConnObj WRITE setConnObj NOTIFY
                   ConnObjChanged DESIGNABLE false)
    Q_PROPERTY(QString Title READ Title WRITE setTitle NOTIFY TitleChanged)
    Q_PROPERTY(QString SqlInput READ SqlInput WRITE setSqlInput NOTIFY SqlInputChanged)
    Q_PROPERTY(condora::FontHandle ButtonFont READ ButtonFont WRITE setButtonFont NOTIFY ButtonFontChanged)
    Q_PROPERTY(condora::FontHandle LabelFont READ LabelFont WRITE setLabelFont NOTIFY LabelFontChanged)
    Q_PROPERTY(condora::OleColor LabelBackColor READ LabelBackColor WRITE setLabelBackColor NOTIFY
                   LabelBackColorChanged)
    Q_PROPERTY(condora::OleColor LabelForeColor READ LabelForeColor WRITE setLabelForeColor NOTIFY
                   LabelForeColorChanged)
    Q_PROPERTY(condora::OleColor GridColor READ GridColor WRITE setGridColor NOTIFY GridColorChanged)
    Q_PROPERTY(condora::OleColor GridColorFixed READ GridColorFixed WRITE setGridColorFixed NOTIFY
                   GridColorFixedChanged)
    Q_PROPERTY(condora::OleColor GridColorUnpopulated READ GridColorUnpopulated WRITE setGridColorUnpopulated
                   NOTIFY GridColorUnpopulatedChanged)
    Q_PROPERTY(condora::OleColor GridForeColor READ GridForeColor WRITE setGridForeColor NOTIFY
                   GridForeColorChanged)
    Q_PROPERTY(condora::OleColor GridForeColorFixed READ GridForeColorFixed WRITE setGridForeColorFixed NOTIFY
                   GridForeColorFixedChanged)
    Q_PROPERTY(condora::OleColor FormBackColor READ FormBackColor WRITE setFormBackColor NOTIFY
                   FormBackColorChanged)
    Q_PROPERTY(condora::PictureHandle FormPicture READ FormPicture WRITE setFormPicture NOTIFY
                   FormPictureChanged)
    Q_PROPERTY(condora::OleColor ButtonBackColor READ ButtonBackColor WRITE setButtonBackColor NOTIFY
                   ButtonBackColorChanged)
    Q_PROPERTY(condora::FontHandle GridFont READ GridFont WRITE setGridFont NOTIFY GridFontChanged)
    Q_PROPERTY(condora::FontHandle GridFontFixed READ GridFontFixed WRITE setGridFontFixed NOTIFY
                   GridFontFixedChanged)
    Q_PROPERTY(condora::PictureHandle ButtonPicture READ ButtonPicture WRITE setButtonPicture NOTIFY
                   ButtonPictureChanged)
    Q_PROPERTY(condora::OleColor GridForeColorSel READ GridForeColorSel WRITE setGridForeColorSel NOTIFY
                   GridForeColorSelChanged)
    Q_PROPERTY(condora::OleColor GridBackColor READ GridBackColor WRITE setGridBackColor NOTIFY
                   GridBackColorChanged)
    Q_PROPERTY(condora::OleColor GridBackColorBkg READ GridBackColorBkg WRITE setGridBackColorBkg NOTIFY
                   GridBackColorBkgChanged)
    Q_PROPERTY(condora::OleColor GridBackColorFixed READ GridBackColorFixed WRITE setGridBackColorFixed NOTIFY
                   GridBackColorFixedChanged)
    Q_PROPERTY(condora::OleColor GridBackColorSel READ GridBackColorSel WRITE setGridBackColorSel NOTIFY
                   GridBackColorSelChanged)
    Q_PROPERTY(condora::OleColor GridBackColorUnpopulated READ GridBackColorUnpopulated WRITE
                   setGridBackColorUnpopulated NOTIFY GridBackColorUnpopulatedChanged)
    Q_PROPERTY(bool ShowSql READ ShowSql WRITE setShowSql NOTIFY ShowSqlChanged)
    Q_PROPERTY(bool KeepCondition READ KeepCondition WRITE setKeepCondition NOTIFY KeepConditionChanged)
    Q_PROPERTY(bool CountRows READ CountRows WRITE setCountRows NOTIFY CountRowsChanged)
    Q_PROPERTY(bool MoreOperators READ MoreOperators WRITE setMoreOperators NOTIFY MoreOperatorsChanged)
    Q_PROPERTY(bool DateEditor READ DateEditor WRITE setDateEditor NOTIFY DateEditorChanged)
    Q_PROPERTY(bool RecentConditions READ RecentConditions WRITE setRecentConditions NOTIFY RecentConditionsChanged)
    Q_PROPERTY(bool LiveCount READ LiveCount WRITE setLiveCount NOTIFY LiveCountChanged)
    Q_PROPERTY(bool FastValueLists READ FastValueLists WRITE setFastValueLists NOTIFY FastValueListsChanged)

public:
    /// The database kinds the control distinguishes (any other database is 99, without a name).
    /// No member takes or returns it; it documents the codes for hosts.
    enum DataBaseEnum {
        Oracle = int(condora::DbKind::Oracle),
        SqlServer = int(condora::DbKind::SqlServer),
        Access = int(condora::DbKind::Access)
    };
    Q_ENUM(DataBaseEnum)

    /// Creates the control at its fixed size with every property at its default (as
    /// initProperties()); the ambient font is the parent's font.
    explicit Condora(QWidget *parent = nullptr);
    ~Condora() override;

    // Methods ------------------------------------------------------------------------------------

    /// Runs a query and returns the final statement: the confirmed statement after OK, the
    /// empty text after Cancel, a closed dialog, or a run that ended before the dialog.
    /// Nothing is trapped here: a run-time error of the run (a missing query dialog, a
    /// failure of the analysis state) leaves this method as condora::RuntimeError.
    Q_INVOKABLE QString GetQuerySql();

    /// Runs a query and executes its final statement on the connection (with a client-side
    /// cursor for Access/Jet, the connection's cursor location restored afterwards). QueryType
    /// 1 executes with option 16 (asynchronous), anything else with -1. Returns the open
    /// recordset, owned by the caller (the control keeps no reference), or null when the user
    /// cancelled, the run ended early, or an error occurred; errors are reported through
    /// showError and never leave this method. By name through the meta-object system the
    /// result arrives as std::shared_ptr<condora::ado::Recordset>, likewise held only by the caller.
#ifdef Q_MOC_RUN
    Q_INVOKABLE std::shared_ptr<condora::ado::Recordset> GetQueryResult(int QueryType = 0);
#else
    std::unique_ptr<condora::ado::Recordset> GetQueryResult(int QueryType = 0);
#endif

    /// Runs a query like GetQueryResult() and returns its rows as a model a view shows as it
    /// scrolls (see condora::QueryModel): the rows of the final statement, an empty model after
    /// Cancel or a run that ended before its dialog (whose messages the user sees as in every
    /// run). Nothing is thrown and no error report is shown: a run-time error of the run or of
    /// the statement leaves the model empty with the error in its lastError() (and in lastError()
    /// of the control); rows that fail part-way stay, and the model's lastError() tells why no
    /// more came. The model is owned by `parent` when
    /// given, otherwise by the caller. Returns null only when `parent` was deleted during the run.
    Q_INVOKABLE condora::QueryModel *GetQueryModel(QObject *parent = nullptr);

    ///@{
    /// The forms of GetQuerySql() and GetQueryParameters() that throw nothing: `*ok` (when
    /// given) is true exactly when a statement is returned; after a failure lastError() says
    /// why, after Cancel it is invalid.
    QString GetQuerySql(bool *ok);
    QVariantMap GetQueryParameters(bool *ok);
    ///@}

    /// The error of the last GetQuerySql(), GetQueryParameters(), GetQueryResult(),
    /// GetQueryModel(), open() or readProperties() call that failed, as a value; invalid
    /// (QSqlError::NoError) when the last such call succeeded or was cancelled. For an error of
    /// the library, nativeErrorCode() is its error number (condora::ErrorNumber) and
    /// databaseText() its description (for a database error, the database's own message).
    QSqlError lastError() const;

    /// Shows the query dialog window-modally (modal to the control's window only, as
    /// QDialog::open() does) and returns at once. When the dialog closes, queryClosed() carries
    /// the outcome (and queryFinished() the statement). A run that ends before its dialog
    /// (with its message) emits them at once, from within this call; a run refused because
    /// another is still running emits nothing. Never throws: a failure arrives as an empty
    /// statement with lastError() set.
    Q_INVOKABLE void open();

    /// Stores a copy of the per-column filter conditions that restrict the value picker:
    /// position i belongs to the i-th select-list column, position 0 is not used, entries may
    /// be empty. An empty list stores a single empty entry. Kept until a query dialog of this
    /// control closes; other controls have filters of their own.
    /// Always returns the empty text.
    Q_INVOKABLE QString SetFilterCondition(const QStringList &filterCondition);

    /// Shows a fresh modal About window and returns when the user has closed it.
    Q_INVOKABLE void ShowAboutBox();

    /// Runs a query like GetQuerySql() and hands back the final statement in bound-parameter
    /// form, for a host that executes it with QSqlQuery: {"sql": the statement with a "?"
    /// placeholder for each value, "values": the values in order as a QVariantList, typed
    /// (numbers as numbers, a date as QDate; see README)}. Prepared and bound with
    /// QSqlQuery::addBindValue(), it returns the rows of the statement GetQuerySql() returns.
    /// An empty map after Cancel or a run that ended before the dialog.
    Q_INVOKABLE QVariantMap GetQueryParameters();

    /// The condition rows the user accepted with OK in the last run, as a JSON document with a
    /// format version (see README, "Conditions as data"), so that a host can store a condition
    /// and hand it back later; empty before the first accepted run.
    Q_INVOKABLE QString GetConditionRows() const;

    /// Preloads the next run's dialog with the rows of `json` (a document GetConditionRows()
    /// gave). Returns false, and keeps nothing, when `json` is not such a document; the empty
    /// text clears what was set. When the run opens its dialog, rows naming a column the base
    /// statement does not have (or an operator that does not suit it) are left out with one
    /// message. Used by the next run only.
    Q_INVOKABLE bool SetConditionRows(const QString &json);

    /// One query run without a control on any window, in the manner of QInputDialog::getText:
    /// asks the user for a condition on `baseSql` over the host's open `database` (adopted, not
    /// closed) and returns the final statement, empty after Cancel or a run that ended before
    /// the dialog. `*ok` (when given) is true exactly when a statement is returned. `parent`
    /// gives the run its ambient font; nothing is placed on it. Like GetQuerySql, a run-time
    /// error of the run leaves as condora::RuntimeError.
    static QString getQuerySql(QWidget *parent, const QSqlDatabase &database, const QString &baseSql,
                               bool *ok = nullptr);
    /// The same without exceptions: a run-time error of the run returns the empty text with
    /// `*ok` false and the error in `*error` (when given); after Cancel `*error` is invalid.
    static QString getQuerySql(QWidget *parent, const QSqlDatabase &database, const QString &baseSql, bool *ok,
                               QSqlError *error);
    /// GetQueryParameters() without a control on any window, as getQuerySql(): the final statement
    /// in bound-parameter form ({"sql", "values"}), an empty map after Cancel or a failure.
    /// Throws nothing; `*ok` and `*error` as for getQuerySql().
    static QVariantMap getQueryParameters(QWidget *parent, const QSqlDatabase &database, const QString &baseSql,
                                          bool *ok = nullptr, QSqlError *error = nullptr);
    /// The condition rows the user accepts, as the JSON document GetConditionRows() gives, without a
    /// control on any window: the dialog opens with `rows` (a document from an earlier call, or
    /// empty for an empty grid). Returns the empty text after Cancel or a failure; throws nothing;
    /// `*ok` and `*error` as for getQuerySql().
    static QString getConditionRows(QWidget *parent, const QSqlDatabase &database, const QString &baseSql,
                                    const QString &rows = QString(), bool *ok = nullptr, QSqlError *error = nullptr);

    // Persistence ---------------------------------------------------------------------------

    /// Sets every property to its default, as for a control newly placed on a window:
    /// Enabled and ShowSql False, empty texts, the default colours, the four fonts each a new handle to the
    /// ambient font, the two pictures new empty pictures. ConnObj keeps its value.
    void initProperties();
    /// Writes the properties in their fixed order under their own names. Nothing is stored for
    /// a value equal to its default; ButtonFont has no default and is always stored; ConnObj is
    /// not written (a connection cannot be stored; hosts set it at run time).
    void writeProperties(condora::PropertyBag &bag) const;
    /// Reads the properties in their fixed order. A missing key gives the default; a missing
    /// font gives the ambient font as it is now, a missing picture no picture. An unreadable
    /// value stops the load with condora::RuntimeError (type mismatch). ConnObj is left as is.
    void readProperties(const condora::PropertyBag &bag);
    /// The same without exceptions: `*ok` (when given) becomes false, with lastError() set,
    /// where the other form throws; the properties read before the unreadable one keep their
    /// new values.
    void readProperties(const condora::PropertyBag &bag, bool *ok);

    /// The font a newly placed control takes its fonts from: the parent's font, or the
    /// application font without a parent.
    QFont ambientFont() const;

    /// The fixed design size (465 x 480 twips).
    QSize sizeHint() const override;
    /// The fixed design size.
    QSize minimumSizeHint() const override;

    // Properties ----------------------------------------------------------------------------
    // The font and picture setters also take a plain QFont or QPixmap (each call makes a new
    // object for the control), and colours convert from QColor, so that code Qt's uic
    // generates for a form designed with this control compiles as it stands.

    ///@{
    /// Stored and persisted only: it does not disable the control or its methods (this hides
    /// QWidget::setEnabled on purpose; QWidget::setEnabled still reaches the widget state).
    bool Enabled() const;
    void setEnabled(bool Enabled);
    ///@}

    ///@{
    /// False (the default): every run opens with an empty grid. True: a run on the same base
    /// statement (SqlInput) as the last accepted run opens with that run's rows, so the user can
    /// refine the condition; rows set with SetConditionRows() take precedence.
    bool KeepCondition() const;
    void setKeepCondition(bool KeepCondition);
    ///@}

    ///@{
    /// False (the default): Verify says "Ok!". True: Verify also tells how many rows the
    /// statement returns (one count statement over it); when none, it offers to find and mark the
    /// fewest rows of the condition that rule out every row.
    bool CountRows() const;
    void setCountRows(bool CountRows);
    ///@}

    ///@{
    /// False (the default): the Operator list offers the classic operators. True: it also offers
    /// "between" (two values: 10, 20), "in" and "not in" (values separated by commas; the value
    /// picker then takes several values) for numbers, dates and text, and "starts with" and
    /// "ends with" (the text matched literally) for text.
    bool MoreOperators() const;
    void setMoreOperators(bool MoreOperators);
    ///@}

    ///@{
    /// False (the default): the ".." button of a Value cell lists the column's stored values.
    /// True: for a date column it opens a calendar instead, which writes the picked day
    /// (yyyy-mm-dd, keeping a time of day the value already had).
    bool DateEditor() const;
    void setDateEditor(bool DateEditor);
    ///@}

    ///@{
    /// False (the default): the query dialog offers no earlier conditions.
    /// True: the last ten conditions accepted on each SqlInput (their rows, as GetConditionRows()
    /// gives them, newest first) are remembered, saved and loaded with the other properties, and
    /// the query dialog offers them in a list to pick again; a picked condition fills the grid as
    /// SetConditionRows() would (rows naming a column the statement lacks are left out with a
    /// message).
    bool RecentConditions() const;
    void setRecentConditions(bool RecentConditions);
    ///@}

    ///@{
    /// False (the default): the query dialog counts nothing while the condition is built.
    /// True: while the condition is valid, a label under the grid (lblLiveCount) shows how many
    /// rows the final statement gives, counted again a moment after each edit on the run's own
    /// connection, on its worker thread: the dialog never waits for it, a new edit or a
    /// statement of the dialog stops the count in flight, and a failed count shows nothing.
    /// When the run's statements stay on the host's connection (see ado::runConnection()) the
    /// rows are not counted live, since that would hold the host's connection and the GUI
    /// thread; Verify with CountRows counts them on demand.
    bool LiveCount() const;
    void setLiveCount(bool LiveCount);
    /// False (the default): the value picker lists a column's values with one SELECT DISTINCT,
    /// which on a huge table shows its first value only once the database has read every row.
    /// True: a column of one table that an index leads with is listed straight from the index,
    /// in order: the first values show at once, and the list grows to every value while the
    /// user scrolls, searches or picks ("n+ values" until it is complete). Another column of a
    /// large table first shows the values of a sample of its rows ("n+ values (sample)") while
    /// the exact list is read on the run's own connection, which then takes its place.
    bool FastValueLists() const;
    void setFastValueLists(bool FastValueLists);
    ///@}

    ///@{
    /// The connection every query run uses; a run without one uses a new, unopened connection and reports it.
    std::shared_ptr<condora::ado::Connection> ConnObj() const;
    void setConnObj(std::shared_ptr<condora::ado::Connection> ConnObj);
    ///@}

    ///@{
    /// The caption of a query run's input messages.
    QString Title() const;
    void setTitle(const QString &Title);
    ///@}

    ///@{
    /// The base SELECT statement the next query run starts from.
    QString SqlInput() const;
    void setSqlInput(const QString &SqlInput);
    ///@}

    ///@{
    /// The font of the dialogs' buttons.
    condora::FontHandle ButtonFont() const;
    void setButtonFont(condora::FontHandle ButtonFont);
    void setButtonFont(const QFont &font) { setButtonFont(std::make_shared<QFont>(font)); }
    ///@}
    ///@{
    /// The font of the dialogs' labels.
    condora::FontHandle LabelFont() const;
    void setLabelFont(condora::FontHandle LabelFont);
    void setLabelFont(const QFont &font) { setLabelFont(std::make_shared<QFont>(font)); }
    ///@}
    ///@{
    /// The background colour of the dialogs' labels.
    condora::OleColor LabelBackColor() const;
    void setLabelBackColor(condora::OleColor LabelBackColor);
    ///@}
    ///@{
    /// The text colour of the dialogs' labels.
    condora::OleColor LabelForeColor() const;
    void setLabelForeColor(condora::OleColor LabelForeColor);
    ///@}
    ///@{
    /// The colour of the grid lines between the condition cells.
    condora::OleColor GridColor() const;
    void setGridColor(condora::OleColor GridColor);
    ///@}
    ///@{
    /// The colour of the grid lines of the header row.
    condora::OleColor GridColorFixed() const;
    void setGridColorFixed(condora::OleColor GridColorFixed);
    ///@}
    ///@{
    /// The colour of the grid lines in the area without rows.
    condora::OleColor GridColorUnpopulated() const;
    void setGridColorUnpopulated(condora::OleColor GridColorUnpopulated);
    ///@}
    ///@{
    /// The text colour of the grid cells.
    condora::OleColor GridForeColor() const;
    void setGridForeColor(condora::OleColor GridForeColor);
    ///@}
    ///@{
    /// The text colour of the grid's header row.
    condora::OleColor GridForeColorFixed() const;
    void setGridForeColorFixed(condora::OleColor GridForeColorFixed);
    ///@}
    ///@{
    /// The background colour of the dialogs.
    condora::OleColor FormBackColor() const;
    void setFormBackColor(condora::OleColor FormBackColor);
    ///@}
    ///@{
    /// The picture painted at the top-left corner of the dialogs (an empty picture shows none).
    condora::PictureHandle FormPicture() const;
    void setFormPicture(condora::PictureHandle FormPicture);
    void setFormPicture(const QPixmap &picture) { setFormPicture(std::make_shared<QPixmap>(picture)); }
    ///@}
    ///@{
    /// The background colour of the dialogs' buttons.
    condora::OleColor ButtonBackColor() const;
    void setButtonBackColor(condora::OleColor ButtonBackColor);
    ///@}
    ///@{
    /// The font of the grid cells.
    condora::FontHandle GridFont() const;
    void setGridFont(condora::FontHandle GridFont);
    void setGridFont(const QFont &font) { setGridFont(std::make_shared<QFont>(font)); }
    ///@}
    ///@{
    /// The font of the grid's header row.
    condora::FontHandle GridFontFixed() const;
    void setGridFontFixed(condora::FontHandle GridFontFixed);
    void setGridFontFixed(const QFont &font) { setGridFontFixed(std::make_shared<QFont>(font)); }
    ///@}
    ///@{
    /// The picture shown on the dialogs' buttons (an empty picture shows none).
    condora::PictureHandle ButtonPicture() const;
    void setButtonPicture(condora::PictureHandle ButtonPicture);
    void setButtonPicture(const QPixmap &picture) { setButtonPicture(std::make_shared<QPixmap>(picture)); }
    ///@}
    ///@{
    /// The text colour of selected grid cells.
    condora::OleColor GridForeColorSel() const;
    void setGridForeColorSel(condora::OleColor GridForeColorSel);
    ///@}
    ///@{
    /// The background colour of the grid cells.
    condora::OleColor GridBackColor() const;
    void setGridBackColor(condora::OleColor GridBackColor);
    ///@}
    ///@{
    /// The colour of the grid's area without rows.
    condora::OleColor GridBackColorBkg() const;
    void setGridBackColorBkg(condora::OleColor GridBackColorBkg);
    ///@}
    ///@{
    /// The background colour of the grid's header row.
    condora::OleColor GridBackColorFixed() const;
    void setGridBackColorFixed(condora::OleColor GridBackColorFixed);
    ///@}
    ///@{
    /// The background colour of selected grid cells.
    condora::OleColor GridBackColorSel() const;
    void setGridBackColorSel(condora::OleColor GridBackColorSel);
    ///@}
    ///@{
    /// The background colour of the grid's unpopulated cells.
    condora::OleColor GridBackColorUnpopulated() const;
    void setGridBackColorUnpopulated(condora::OleColor GridBackColorUnpopulated);
    ///@}
    ///@{
    /// Offers the "Show Sql" switch in the query dialog, with which the user shows the statement
    /// under the grid as it is built. False (the default): the dialog has no such switch.
    bool ShowSql() const;
    void setShowSql(bool ShowSql);
    ///@}

Q_SIGNALS:
    /// The property-changed notification: `propertyName` is the property's own name.
    void propertyChanged(const QString &propertyName);

    /// Emitted when a query run of GetQuerySql or GetQueryResult has its outcome, before the
    /// call returns (and before GetQueryResult executes the statement): the final statement,
    /// or the empty text after Cancel, a closed dialog or a run that ended before the dialog.
    /// A run that ends in a run-time error (left by GetQuerySql, reported by GetQueryResult)
    /// emits nothing.
    void queryFinished(const QString &sql);

    /// Emitted when the dialog that open() showed has closed (or the run ended before it): the
    /// final statement (empty after Cancel, a closed dialog or a failure), the statement in
    /// bound-parameter form as GetQueryParameters() gives it, and the accepted condition rows as
    /// GetConditionRows() gives them (empty unless a statement came back).
    void queryClosed(const QString &sql, const QVariantMap &parameters, const QString &conditionRows);

    ///@{
    /// Emitted by the setter of the property of the same name, also when the value did not change.
    void EnabledChanged();
    void KeepConditionChanged();
    void CountRowsChanged();
    void MoreOperatorsChanged();
    void DateEditorChanged();
    void RecentConditionsChanged();
    void LiveCountChanged();
    void FastValueListsChanged();
    void ConnObjChanged();
    void TitleChanged();
    void SqlInputChanged();
    void ButtonFontChanged();
    void LabelFontChanged();
    void LabelBackColorChanged();
    void LabelForeColorChanged();
    void GridColorChanged();
    void GridColorFixedChanged();
    void GridColorUnpopulatedChanged();
    void GridForeColorChanged();
    void GridForeColorFixedChanged();
    void FormBackColorChanged();
    void FormPictureChanged();
    void ButtonBackColorChanged();
    void GridFontChanged();
    void GridFontFixedChanged();
    void ButtonPictureChanged();
    void GridForeColorSelChanged();
    void GridBackColorChanged();
    void GridBackColorBkgChanged();
    void GridBackColorFixedChanged();
    void GridBackColorSelChanged();
    void GridBackColorUnpopulatedChanged();
    void ShowSqlChanged();
    ///@}

    ///@{
    /// Declared for hosts that connect to them; the control never emits any of these.
    void Click();
    void DblClick();
    void KeyDown(qint16 KeyCode, qint16 Shift);
    void KeyPress(qint16 KeyAscii);
    void KeyUp(qint16 KeyCode, qint16 Shift);
    void MouseDown(qint16 Button, qint16 Shift, float x, float y);
    void MouseMove(qint16 Button, qint16 Shift, float x, float y);
    void MouseUp(qint16 Button, qint16 Shift, float x, float y);
    ///@}

protected:
    /// Paints the magnifying glass.
    void paintEvent(QPaintEvent *event) override;
    /// Snaps the control back to its design size.
    void resizeEvent(QResizeEvent *event) override;

private:
    /// One query run; returns the final statement (empty when the run ended early or the user
    /// cancelled) and leaves the run's facts in `run`.
    /// With `windowModal`, the dialog is shown window-modally and this returns at once with the
    /// run kept in `windowModal` (pending set); finishOpenRun() follows when the dialog closes.
    QString runQuery(condora::QueryRun &run, const std::shared_ptr<CondoraOpenRun> &windowModal = nullptr);
    ///@{
    /// The steps of a run. Each returns false (or null) when the run ends there, after its
    /// message; the caller checks that the control is still there before going on.
    /// Check: the control's settings into `run`; refuses an unusable connection, an empty
    /// statement and one that is not a plain query.
    bool checkRun(condora::QueryRun &run, condora::ado::Connection &host);
    /// Analyse: the run's connection and dialect, the proven base statement, its field catalog
    /// and the host's filters. A statement the user stopped throws RuntimeError (cancelled).
    bool analyseRun(condora::QueryRun &run, condora::ado::Connection &host, condora::BusyActivity &activity);
    /// Show: the run's dialog with `rows` (JSON, may be empty) loaded, not shown yet.
    condora::frmCondora *createDialog(const condora::QueryRun &run, const QString &rows);
    /// Show window-modally: the run ends (finishOpenRun()) when `dialog` closes.
    void openWindowModal(condora::frmCondora &dialog, const std::shared_ptr<CondoraOpenRun> &state);
    /// Remember: the closed dialog's statement; when there is one, its rows and its
    /// bound-parameter form are kept for the host.
    QString rememberAccepted(const condora::frmCondora &closed, const condora::QueryRun &run);
    ///@}
    /// runQuery() and the execution of its final statement (GetQueryResult and GetQueryModel).
    /// A failure is recorded in lastError() and, with `showErrors`, reported through showError;
    /// nothing is thrown. `statement` receives the final statement.
    std::unique_ptr<condora::ado::Recordset> executeQuery(int queryType, bool showErrors, QString *statement);
    /// What open() does once the run's dialog has closed (or the run ended before it).
    void finishOpenRun(const QString &sql);
    condora::DialogStyle captureStyle() const;
    void notify(void (Condora::*signal)(), const QString &name);

    const std::unique_ptr<CondoraPrivate> d;
};
