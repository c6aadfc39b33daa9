#include "control/condora.h"
#include "control/recentconditions.h"

#include "control/condora_p.h"
#include "control/errorvalue_p.h"

#include "analysis/columnfilters.h"
#include "analysis/databasekind.h"
#include "analysis/errorreport.h"
#include "analysis/queryrun.h"
#include "analysis/statementsplitter.h"
#include "analysis/sqlscanner.h"
#include "analysis/statementtools.h"
#include "control/aboutdialog.h"
#include "control/magnifyingglass.h"
#include "platform/ado/activityscope.h"
#include "platform/ado/probecache.h"
#include "platform/ado/runconnection.h"
#include "platform/colorcontrast.h"
#include "condition/conditioncomposer.h"
#include "condition/conditionjson.h"
#include "control/querydialoghook.h"
#include "control/typedrows_p.h"
#include "dialog/busyactivity.h"
#include "dialog/frmcondora.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"
#include "platform/twips.h"
#include "platform/userinteraction.h"

#include <QMetaType>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScopeGuard>

#include <optional>

using namespace Qt::StringLiterals;
using condora::OleColor;

namespace {

// The control's design size on its parent window.
constexpr int DesignWidthTwips = 465;
constexpr int DesignHeightTwips = 480;
// How long the run's start waits for another connection's lock on a SQLite file to go
// before it tells the user (the GUI thread waits meanwhile).
constexpr int LockWaitMs = 100;

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

Condora::Condora(QWidget *parent)
    : QWidget(parent)
    , d(std::make_unique<CondoraPrivate>())
{
    registerPropertyConversions();
    setFixedSize(condora::twips::toPixels(DesignWidthTwips), condora::twips::toPixels(DesignHeightTwips));
    d->designSize = size();
    initProperties();
}

CondoraOpenRun::CondoraOpenRun() = default;
CondoraOpenRun::~CondoraOpenRun() = default;

Condora::~Condora()
{
    // The host deletes the window while a run's dialog is open (perhaps with a statement
    // running under it): the dialog leaves the window instead of being deleted with it, and the
    // run ends once the stack has unwound.
    // A window-modal run's dialog closes without a word to a control that is going.
    if (d->openRun) {
        d->openRun->abandoned = true;
    }
    if (d->dialog) {
        d->dialog->abandon();
    }
}

// Query run -------------------------------------------------------------------------------------

QString Condora::runQuery(condora::QueryRun &run, const std::shared_ptr<CondoraOpenRun> &windowModal)
{
    using namespace condora;
    if (d->running) {
        messageBox(tr("This control is still running a query. Try again when it has finished."), MessageButtons::Ok,
                   MessageIcon::Exclamation, d->title);
        return QString();
    }
    // The host may delete the control (its window) from an event handled while a statement
    // runs or the dialog is open: after anything that can wait, the control is touched only
    // when it is still there.
    const QPointer<Condora> self(this);
    d->running = true;
    auto runEnded = qScopeGuard([this, &self] {
        if (self) {
            d->running = false;
        }
    });
    // The host's connection, or a new unopened one when the host set none.
    const std::shared_ptr<ado::Connection> host = d->connObj ? d->connObj : std::make_shared<ado::Connection>();
    run.connection = host;
    // The window stays alive while the run's statements work, and the user may stop them; a
    // stopped statement ends the run with one message.
    auto busy = std::make_unique<BusyScope>(*host, nullptr, window());
    // The run's connection shares the busy state, and lets it go when the run ends.
    auto ownEnded = qScopeGuard([&run, &host] {
        if (run.connection && run.connection != host) {
            run.connection->setStatementActivity(nullptr);
        }
    });
    try {
        if (!checkRun(run, *host) || !analyseRun(run, *host, busy->activity()) || !self) {
            return QString();
        }

        d->lastParameterSql.clear();
        d->lastParameters.clear();
        QString rowsToLoad = std::exchange(d->nextRows, QString());
        if (rowsToLoad.isEmpty() && d->keepCondition && d->lastRowsSql == run.baseSql) {
            rowsToLoad = d->lastRows;
        }
        // The host's filters hold until a dialog of this control closes.
        const auto consumeFilters = [this, &self] {
            if (self) {
                d->filters = QStringList{QString()};
            }
        };
        run.recentConditions = d->recentConditions;
        run.recentRows = run.recentConditions ? recentConditionsOf(d->recentList, run.baseSql) : QStringList();
        run.liveCount = d->liveCount;
        if (const QueryDialogFunction &standIn = queryDialogFunction()) {
            const auto consumed = qScopeGuard(consumeFilters);
            return standIn(run);
        }
        const QPointer<frmCondora> dialog = createDialog(run, rowsToLoad);
        auto discard = qScopeGuard([&dialog] { delete dialog.data(); });
        if (!self || !dialog) {
            return QString();
        }
        if (windowModal) {
            // The run goes on after this call has returned: its busy state and its running mark
            // stay until the dialog closes.
            windowModal->busy = std::move(busy);
            ownEnded.dismiss();
            windowModal->pending = true;
            d->openRun = windowModal;
            runEnded.dismiss();
            discard.dismiss();
            openWindowModal(*dialog, windowModal);
            return QString();
        }
        {
            const auto consumed = qScopeGuard(consumeFilters);
            dialog->exec();
        }
        if (!self || !dialog) {
            return QString();
        }
        return rememberAccepted(*dialog, run);
    } catch (const RuntimeError &error) {
        if (error.number() != ErrorNumber::Cancelled) {
            throw;
        }
        showError(QString(), RuntimeError(ErrorNumber::Cancelled, ado::cancelledDescription()));
        return QString();
    }
}

bool Condora::checkRun(condora::QueryRun &run, condora::ado::Connection &host)
{
    using namespace condora;
    run.savedCursorLocation = host.CursorLocation();
    run.title = d->title;
    run.showSqlSwitch = d->showSql;
    run.moreOperators = d->moreOperators;
    run.dateEditor = d->dateEditor;
    run.fastValueLists = d->fastValueLists;

    // A connection that cannot serve the run ends it with one message that names the cause
    // (the first line stays the one a refused statement gives, which hosts may look for).
    QString unusable;
    if (!host.isOpen()) {
        unusable = tr("The connection is not open.");
    } else if (host.statementRunning() || ado::runStatementRunning(host)) {
        unusable = tr("Another statement is still running on this connection. Try again when it has finished.");
    } else if (host.isLocked(LockWaitMs)) {
        unusable = tr("The database file is locked by another connection. Try again when it is free.");
    }
    if (!unusable.isEmpty()) {
        messageBox(tr("Illegal SQL expression!") + u"\r\n"_s + unusable, MessageButtons::Ok, MessageIcon::Exclamation,
                   run.title);
        return false;
    }

    QString statement = trimSpaces(text::trim(d->sqlInput));
    if (statement.isEmpty()) {
        messageBox(tr("Please input SQL!"), MessageButtons::Ok, MessageIcon::Exclamation, run.title);
        return false;
    }
    if (statement.endsWith(u';')) {
        statement.chop(1);
    }
    run.baseSql = statement;

    // Refused before anything runs: what is not a query, and what a spliced condition would
    // filter only in part.
    QString refusal;
    const QString first = leadingKeyword(statement);
    if (!first.isEmpty() && first != u"SELECT"_s && first != u"WITH"_s) {
        refusal = tr("The statement is not a query (it begins with %1): Condora only reads data.").arg(first);
    } else if (const QString comment = ambiguousComment(statement); !comment.isEmpty()) {
        refusal = tr("The statement holds %1, which databases read in different ways: a condition added to it "
                     "could end up inside the comment.")
                      .arg(comment);
    }
    if (!refusal.isEmpty()) {
        messageBox(tr("Illegal SQL expression!") + u"\r\n"_s + refusal, MessageButtons::Ok, MessageIcon::Exclamation,
                   run.title);
        return false;
    }
    return true;
}

bool Condora::analyseRun(condora::QueryRun &run, condora::ado::Connection &host, condora::BusyActivity &activity)
{
    using namespace condora;
    const QPointer<Condora> self(this);
    // Every statement of the run from here on goes to a connection of the run's own, on a
    // worker thread, where that sees the host's data; else to the host's connection.
    run.connection = ado::runConnection(run.connection, run.baseSql);
    ado::Connection &connection = *run.connection;
    connection.setStatementActivity(host.statementActivity());
    run.savedCursorLocation = connection.CursorLocation();
    run.dbKind = getDbKind(connection);
    run.product = getDbProduct(connection);
    run.escapes = escapeRulesOf(connection);

    // The analysis asks the same probes more than once: each goes to the database once.
    std::optional<ado::ProbeCacheScope> probes(std::in_place, connection);
    const QString rejection = testSql(connection, run.baseSql);
    if (!self) {
        return false;
    }
    if (!rejection.isEmpty()) {
        messageBox(tr("Illegal SQL expression!") + u"\r\n"_s + rejection, MessageButtons::Ok, MessageIcon::Exclamation,
                   run.title);
        return false;
    }

    FieldCatalog catalog;
    TableList tables;
    if (!splitSql(connection, run.baseSql, catalog, tables) || !self) {
        return false;
    }
    // The host's filters are rewritten as WHERE clauses; the control keeps them so until a
    // dialog closes.
    run.filters = d->filters;
    const bool filtersAccepted = prepareFilters(connection, run.filters, catalog);
    if (!self) {
        return false;
    }
    d->filters = run.filters;
    if (!filtersAccepted) {
        return false;
    }
    probes.reset();
    // A probe whose failure the analysis passes over may have been stopped: the run ends as a
    // stopped statement does.
    if (activity.cancelled()) {
        throw RuntimeError(ErrorNumber::Cancelled, ado::cancelledDescription());
    }
    run.fieldCatalog = catalog;
    run.style = captureStyle();
    return true;
}

condora::frmCondora *Condora::createDialog(const condora::QueryRun &run, const QString &rows)
{
    using namespace condora;
    const QPointer<Condora> self(this);
    // A child of the control's window, which centres it and keeps it on top; still modal for
    // the whole application. Deleted by the run, or left behind by the window when that goes
    // first (abandon()).
    const QPointer<frmCondora> dialog = new frmCondora(run, window());
    d->dialog = dialog;
    dialog->setCountRows(d->countRows);
    if (rows.isEmpty()) {
        return dialog;
    }
    const LoadedConditionRows loaded = conditionRowsFromJson(rows, run.fieldCatalog, run.moreOperators);
    if (!loaded.dropped.isEmpty()) {
        messageBox(tr("The statement has no column for these rows of the condition, so they were left out: %1")
                       .arg(loaded.dropped.join(u", "_s)),
                   MessageButtons::Ok, MessageIcon::Exclamation, run.title);
    }
    if (!loaded.unsuited.isEmpty()) {
        messageBox(tr("The operator of these rows of the condition does not suit their column, so they were "
                      "left out: %1")
                       .arg(loaded.unsuited.join(u", "_s)),
                   MessageButtons::Ok, MessageIcon::Exclamation, run.title);
    }
    if (self && dialog) {
        dialog->setConditionTerms(loaded.terms);
    }
    return dialog;
}

void Condora::openWindowModal(condora::frmCondora &dialog, const std::shared_ptr<CondoraOpenRun> &state)
{
    using namespace condora;
    frmCondora *shown = &dialog;
    connect(shown, &QDialog::finished, shown, [this, state, shown] {
        shown->deleteLater();
        if (state->abandoned) {
            state->busy.reset();
            return;
        }
        d->filters = QStringList{QString()};
        // The run's own connection lets the busy state go with it.
        if (state->run.connection && state->run.connection != d->connObj) {
            state->run.connection->setStatementActivity(nullptr);
        }
        QString sql;
        try {
            sql = rememberAccepted(*shown, state->run);
        } catch (...) {
            d->lastError = currentErrorAsSqlError();
        }
        state->busy.reset();
        d->openRun.reset();
        d->running = false;
        finishOpenRun(sql);
    });
    dialog.open();
}

QString Condora::rememberAccepted(const condora::frmCondora &closed, const condora::QueryRun &run)
{
    using namespace condora;
    const QString sql = closed.resultSql();
    if (!sql.isEmpty()) {
        d->lastRows = conditionRowsToJson(closed.conditionTerms(), run.fieldCatalog);
        d->lastRowsSql = run.baseSql;
        if (d->recentConditions) {
            d->recentList = rememberCondition(d->recentList, run.baseSql, d->lastRows);
        }
        const ComposedCondition parameterized = composeParameterized(closed.conditionTerms(), run);
        d->lastParameterSql = parameterized.statement;
        d->lastParameters = parameterized.parameters;
    }
    return sql;
}

QVariantMap Condora::GetQueryParameters()
{
    const QPointer<Condora> self(this);
    condora::QueryRun run;
    const QString sql = runQuery(run);
    if (!self) {
        return {};
    }
    Q_EMIT queryFinished(sql);
    if (!self || sql.isEmpty() || d->lastParameterSql.isEmpty()) {
        return {};
    }
    return {{u"sql"_s, d->lastParameterSql}, {u"values"_s, d->lastParameters}};
}

QString Condora::GetConditionRows() const
{
    return d->lastRows;
}

bool Condora::SetConditionRows(const QString &json)
{
    if (json.trimmed().isEmpty()) {
        d->nextRows.clear();
        return true;
    }
    if (!condora::isConditionJson(json)) {
        return false;
    }
    d->nextRows = json;
    return true;
}

QString Condora::GetQuerySql()
{
    const QPointer<Condora> self(this);
    condora::QueryRun run;
    const QString sql = runQuery(run);
    if (self) {
        Q_EMIT queryFinished(sql);
    }
    return sql;
}

std::unique_ptr<condora::ado::Recordset> Condora::executeQuery(int QueryType, bool showErrors, QString *statement)
{
    d->lastError = QSqlError();
    std::unique_ptr<condora::ado::Recordset> result;
    condora::UserInteraction &ui = condora::UserInteraction::instance();
    const QPointer<Condora> self(this);
    // The window the busy state shows over; the host may delete it while the statement runs.
    const QPointer<QWidget> hostWindow = window();
    try {
        condora::QueryRun run;
        // The final statement runs after the dialog closed, still with the busy state.
        std::unique_ptr<condora::BusyScope> busy;
        // Kept here: the host may drop the connection, or the control, meanwhile.
        const std::shared_ptr<condora::ado::Connection> hostConnection = d->connObj;
        if (hostConnection) {
            busy = std::make_unique<condora::BusyScope>(*hostConnection, nullptr, hostWindow);
        }
        const QString sql = runQuery(run);
        if (statement) {
            *statement = sql;
        }
        if (self) {
            Q_EMIT queryFinished(sql);
        }
        // A second run started from an event handled while the statement runs is refused.
        const bool wasRunning = self && std::exchange(d->running, true);
        const auto runEnded = qScopeGuard([&] {
            if (self && !wasRunning) {
                d->running = false;
            }
        });
        ui.setMousePointer(condora::MousePointer::Hourglass);
        if (!wasRunning && !condora::text::trim(sql).isEmpty()) {
            condora::ado::Connection &connection = condora::connectionOf(run);
            // The run's own connection runs it under the same busy state.
            const bool own = &connection != hostConnection.get();
            if (own && busy) {
                connection.setStatementActivity(&busy->activity());
            }
            const auto quiet = qScopeGuard([&] {
                if (own) {
                    connection.setStatementActivity(nullptr);
                }
            });
            if (run.dbKind == condora::DbKind::Access) {
                connection.setCursorLocation(condora::ado::adUseClient);
            }
            // The connection gets its cursor location back also when the statement fails.
            const auto restore = qScopeGuard([&] { connection.setCursorLocation(run.savedCursorLocation); });
            const int options = QueryType == 1 ? condora::ado::adAsyncExecute : condora::ado::adOptionUnspecified;
            result = connection.Execute(sql, options);
            // The host's later fetches of these rows (a grid scrolling) keep the busy state.
            const std::shared_ptr<condora::ado::RowSource> rows = result ? result->rowSource() : nullptr;
            if (rows) {
                std::shared_ptr<condora::BusyActivity> activity;
                if (busy) {
                    activity = busy->activity().shared_from_this();
                } else {
                    activity = std::make_shared<condora::BusyActivity>(connection.statementActivity());
                    activity->setFallbackWindow(hostWindow);
                }
                rows->lendActivity(activity, activity->outer());
            }
        }
        ui.setMousePointer(condora::MousePointer::Default);
    } catch (...) {
        if (self) {
            d->lastError = condora::currentErrorAsSqlError();
        }
        if (showErrors) {
            condora::showCurrentError(QString());
        } else {
            ui.setMousePointer(condora::MousePointer::Default);
        }
    }
    return result;
}

std::unique_ptr<condora::ado::Recordset> Condora::GetQueryResult(int QueryType)
{
    return executeQuery(QueryType, true, nullptr);
}

condora::QueryModel *Condora::GetQueryModel(QObject *parent)
{
    // The host may delete the parent while the dialog is open.
    const QPointer<QObject> owner(parent);
    const QPointer<Condora> self(this);
    QString sql;
    const std::unique_ptr<condora::ado::Recordset> rows = executeQuery(0, false, &sql);
    if (parent && !owner) {
        return nullptr;
    }
    auto *model = new condora::QueryModel(parent);
    std::shared_ptr<condora::ado::RowSource> source = rows ? rows->rowSource() : nullptr;
    if (source && rows->State() == condora::ado::adStateOpen) {
        QList<int> types;
        for (int column = 0; column < rows->fieldCount(); ++column) {
            types.append(rows->fieldType(column));
        }
        source = std::make_shared<condora::TypedRows>(std::move(source), std::move(types));
    }
    model->setRowSource(std::move(source), sql);
    if (self) {
        model->setLastError(d->lastError);
    }
    return model;
}

QString Condora::GetQuerySql(bool *ok)
{
    const QPointer<Condora> self(this);
    d->lastError = QSqlError();
    QString sql;
    try {
        sql = GetQuerySql();
    } catch (...) {
        if (self) {
            d->lastError = condora::currentErrorAsSqlError();
        }
    }
    if (ok) {
        *ok = !sql.isEmpty();
    }
    return sql;
}

QVariantMap Condora::GetQueryParameters(bool *ok)
{
    const QPointer<Condora> self(this);
    d->lastError = QSqlError();
    QVariantMap parameters;
    try {
        parameters = GetQueryParameters();
    } catch (...) {
        if (self) {
            d->lastError = condora::currentErrorAsSqlError();
        }
    }
    if (ok) {
        *ok = !parameters.isEmpty();
    }
    return parameters;
}

QSqlError Condora::lastError() const
{
    return d->lastError;
}

void Condora::open()
{
    const QPointer<Condora> self(this);
    if (d->running) {
        // Refused with its message, as any second run is; nothing is emitted.
        condora::QueryRun refused;
        runQuery(refused);
        return;
    }
    d->lastError = QSqlError();
    const auto state = std::make_shared<CondoraOpenRun>();
    QString sql;
    try {
        sql = runQuery(state->run, state);
    } catch (...) {
        if (self) {
            d->lastError = condora::currentErrorAsSqlError();
        }
    }
    if (self && !state->pending) {
        finishOpenRun(sql);
    }
}

void Condora::finishOpenRun(const QString &sql)
{
    const QPointer<Condora> self(this);
    Q_EMIT queryFinished(sql);
    if (!self) {
        return;
    }
    QVariantMap parameters;
    QString rows;
    if (!sql.isEmpty()) {
        if (!d->lastParameterSql.isEmpty()) {
            parameters = {{u"sql"_s, d->lastParameterSql}, {u"values"_s, d->lastParameters}};
        }
        rows = d->lastRows;
    }
    Q_EMIT queryClosed(sql, parameters, rows);
}

QString Condora::SetFilterCondition(const QStringList &filterCondition)
{
    d->filters = filterCondition.isEmpty() ? QStringList{QString()} : filterCondition;
    return QString();
}

void Condora::ShowAboutBox()
{
    // On the heap: the host may delete the window (and so the box) while it is open.
    const QPointer<condora::AboutDialog> about = new condora::AboutDialog(window());
    about->exec();
    delete about.data();
}

condora::DialogStyle Condora::captureStyle() const
{
    return d->style;
}

// Appearance on the parent window --------------------------------------------------------------

QSize Condora::sizeHint() const
{
    return d->designSize;
}

QSize Condora::minimumSizeHint() const
{
    return d->designSize;
}

void Condora::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // On a dark window the dark grey glass is lightened until it stands out (3:1, as for any
    // graphic a user must make out); on a light one it is the picture as designed.
    const QColor window = palette().color(QPalette::Window);
    if (condora::contrastRatio(condora::MagnifyingGlassInk, window) < 3.0) {
        painter.drawImage(0, 0, condora::magnifyingGlassPicture(condora::readableOn(condora::MagnifyingGlassInk, window, 3.0)));
    } else {
        painter.drawImage(0, 0, controlPicture());
    }
}

void Condora::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (event->size() != d->designSize) {
        resize(d->designSize);
    }
}

// Properties ------------------------------------------------------------------------------------

void Condora::notify(void (Condora::*signal)(), const QString &name)
{
    Q_EMIT(this->*signal)();
    Q_EMIT propertyChanged(name);
}

bool Condora::Enabled() const
{
    return d->enabled;
}

void Condora::setEnabled(bool Enabled)
{
    d->enabled = Enabled;
    notify(&Condora::EnabledChanged, u"Enabled"_s);
}

bool Condora::KeepCondition() const
{
    return d->keepCondition;
}

void Condora::setKeepCondition(bool KeepCondition)
{
    d->keepCondition = KeepCondition;
    notify(&Condora::KeepConditionChanged, u"KeepCondition"_s);
}

bool Condora::CountRows() const
{
    return d->countRows;
}

void Condora::setCountRows(bool CountRows)
{
    d->countRows = CountRows;
    notify(&Condora::CountRowsChanged, u"CountRows"_s);
}

std::shared_ptr<condora::ado::Connection> Condora::ConnObj() const
{
    return d->connObj;
}

void Condora::setConnObj(std::shared_ptr<condora::ado::Connection> ConnObj)
{
    d->connObj = std::move(ConnObj);
    notify(&Condora::ConnObjChanged, u"ConnObj"_s);
}

QString Condora::Title() const
{
    return d->title;
}

void Condora::setTitle(const QString &Title)
{
    d->title = Title;
    notify(&Condora::TitleChanged, u"Title"_s);
}

QString Condora::SqlInput() const
{
    return d->sqlInput;
}

void Condora::setSqlInput(const QString &SqlInput)
{
    d->sqlInput = SqlInput;
    notify(&Condora::SqlInputChanged, u"SqlInput"_s);
}

bool Condora::MoreOperators() const
{
    return d->moreOperators;
}

void Condora::setMoreOperators(bool MoreOperators)
{
    d->moreOperators = MoreOperators;
    notify(&Condora::MoreOperatorsChanged, u"MoreOperators"_s);
}

bool Condora::DateEditor() const
{
    return d->dateEditor;
}

void Condora::setDateEditor(bool DateEditor)
{
    d->dateEditor = DateEditor;
    notify(&Condora::DateEditorChanged, u"DateEditor"_s);
}

bool Condora::RecentConditions() const
{
    return d->recentConditions;
}

void Condora::setRecentConditions(bool RecentConditions)
{
    d->recentConditions = RecentConditions;
    notify(&Condora::RecentConditionsChanged, u"RecentConditions"_s);
}

bool Condora::LiveCount() const
{
    return d->liveCount;
}

void Condora::setLiveCount(bool LiveCount)
{
    d->liveCount = LiveCount;
    notify(&Condora::LiveCountChanged, u"LiveCount"_s);
}

bool Condora::FastValueLists() const
{
    return d->fastValueLists;
}

void Condora::setFastValueLists(bool FastValueLists)
{
    d->fastValueLists = FastValueLists;
    notify(&Condora::FastValueListsChanged, u"FastValueLists"_s);
}

bool Condora::ShowSql() const
{
    return d->showSql;
}

void Condora::setShowSql(bool ShowSql)
{
    d->showSql = ShowSql;
    notify(&Condora::ShowSqlChanged, u"ShowSql"_s);
}

// The appearance properties live in the style record the dialogs take; each reads and writes
// its own member.
#define CONDORA_STYLE_PROPERTY(Type, Name)                                                                   \
    Type Condora::Name() const                                                                               \
    {                                                                                                        \
        return d->style.Name;                                                                                \
    }                                                                                                        \
    void Condora::set##Name(Type Name)                                                                       \
    {                                                                                                        \
        d->style.Name = std::move(Name);                                                                     \
        notify(&Condora::Name##Changed, QStringLiteral(#Name));                                              \
    }

CONDORA_STYLE_PROPERTY(condora::FontHandle, ButtonFont)
CONDORA_STYLE_PROPERTY(condora::FontHandle, LabelFont)
CONDORA_STYLE_PROPERTY(OleColor, LabelBackColor)
CONDORA_STYLE_PROPERTY(OleColor, LabelForeColor)
CONDORA_STYLE_PROPERTY(OleColor, GridColor)
CONDORA_STYLE_PROPERTY(OleColor, GridColorFixed)
CONDORA_STYLE_PROPERTY(OleColor, GridColorUnpopulated)
CONDORA_STYLE_PROPERTY(OleColor, GridForeColor)
CONDORA_STYLE_PROPERTY(OleColor, GridForeColorFixed)
CONDORA_STYLE_PROPERTY(OleColor, FormBackColor)
CONDORA_STYLE_PROPERTY(condora::PictureHandle, FormPicture)
CONDORA_STYLE_PROPERTY(OleColor, ButtonBackColor)
CONDORA_STYLE_PROPERTY(condora::FontHandle, GridFont)
CONDORA_STYLE_PROPERTY(condora::FontHandle, GridFontFixed)
CONDORA_STYLE_PROPERTY(condora::PictureHandle, ButtonPicture)
CONDORA_STYLE_PROPERTY(OleColor, GridForeColorSel)
CONDORA_STYLE_PROPERTY(OleColor, GridBackColor)
CONDORA_STYLE_PROPERTY(OleColor, GridBackColorBkg)
CONDORA_STYLE_PROPERTY(OleColor, GridBackColorFixed)
CONDORA_STYLE_PROPERTY(OleColor, GridBackColorSel)
CONDORA_STYLE_PROPERTY(OleColor, GridBackColorUnpopulated)

#undef CONDORA_STYLE_PROPERTY
