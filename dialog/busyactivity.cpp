#include "dialog/busyactivity.h"

#include "dialog/workingindicator.h"
#include "platform/ado/connection.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <exception>
#include <future>

namespace condora {

namespace {

/// How long the GUI thread waits for work aside between two looks at the window's events.
constexpr std::chrono::milliseconds AsideTick(10);
/// How long before it shows the indicator is made ready.
constexpr qint64 PrepareAheadMs = 100;
/// The window's events are let through when this long has passed since the last time.
constexpr qint64 EventsEveryMs = 10;

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Drop:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
        return true;
    default:
        return false;
    }
}

/// Keys that act beyond a text field: moving the focus, a list.
bool leavesTheField(int key)
{
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

BusyActivity::BusyActivity(ado::StatementActivity *outer)
    : m_outer(outer)
{
}

BusyActivity::~BusyActivity()
{
    m_running = false;
    settle();
}

BusyActivity *BusyActivity::on(const ado::Connection &connection)
{
    return dynamic_cast<BusyActivity *>(connection.statementActivity());
}

void BusyActivity::begin(const QString &sql)
{
    if (!m_period) {
        m_period = true;
        m_sincePeriod.start();
        m_sinceEvents.start();
        qApp->installEventFilter(this);
    }
    m_running = true;
    m_modalAtBegin = QApplication::activeModalWidget();
    if (m_outer != nullptr) {
        m_outer->begin(sql);
    }
    Q_EMIT begun();
}

bool BusyActivity::keepGoing()
{
    if (m_outer != nullptr && !m_outer->keepGoing()) {
        m_cancelled = true;
    }
    // The indicator is made ready a little before it shows, so that neither step holds the
    // window up for long.
    if (!m_cancelled && m_indicator.isNull() && m_sincePeriod.elapsed() >= ShowAfterMs - PrepareAheadMs) {
        prepareIndicator();
    } else if (!m_cancelled && m_indicator && m_indicator->isHidden() && m_sincePeriod.elapsed() >= ShowAfterMs) {
        showIndicator();
    }
    // The window's own events: painting, timers, and the Cancel button or Escape. The
    // filter holds back every other input, so nothing here can start a statement. A quick
    // statement (or the first moments of a series) passes without any, as it always did.
    if (m_sinceEvents.elapsed() >= EventsEveryMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        m_sinceEvents.restart();
    }
    return !m_cancelled && !m_stopForNewer;
}

void BusyActivity::end()
{
    m_running = false;
    m_stopForNewer = false;
    if (m_outer != nullptr) {
        m_outer->end();
    }
    if (m_period && !m_settlePending) {
        m_settlePending = true;
        QTimer::singleShot(0, this, &BusyActivity::settle);
    }
}

void BusyActivity::settle()
{
    m_settlePending = false;
    if (m_running || !m_period) {
        return; // the statement that is running now settles when it ends
    }
    m_period = false;
    m_cancelled = false;
    qApp->removeEventFilter(this);
    Q_EMIT settled();
    if (m_indicator) {
        // Later: the press that ends the period may be on its own Cancel button.
        m_indicator->hide();
        m_indicator->deleteLater();
        m_indicator.clear();
    }
    if (m_pointerSet) {
        m_pointerSet = false;
        UserInteraction &ui = UserInteraction::instance();
        // Someone who set the pointer since (the end of a fill) has the last word.
        if (ui.mousePointer() == MousePointer::Hourglass) {
            ui.setMousePointer(m_pointerBefore);
        }
    }
}

bool BusyActivity::runAside(const std::function<void()> &work)
{
    begin(QString());
    std::exception_ptr failure;
    auto done = std::async(std::launch::async, [&work, &failure] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    bool stopped = false;
    while (done.wait_for(AsideTick) != std::future_status::ready) {
        stopped = !keepGoing() || stopped;
    }
    end();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return !stopped && !m_cancelled;
}

void BusyActivity::pushSurface(QWidget *surface)
{
    m_surfaces.append(surface);
}

void BusyActivity::popSurface(QWidget *surface)
{
    m_surfaces.removeAll(surface);
    m_surfaces.removeAll(nullptr);
}

void BusyActivity::showIndicator()
{
    UserInteraction &ui = UserInteraction::instance();
    m_pointerBefore = ui.mousePointer();
    m_pointerSet = true;
    ui.setMousePointer(MousePointer::Hourglass);
    m_indicator->present();
    Q_EMIT indicatorShown(m_indicator->isWindow() ? nullptr : m_indicator->parentWidget());
}

void BusyActivity::prepareIndicator()
{
    QWidget *surface = nullptr;
    for (qsizetype i = m_surfaces.size() - 1; i >= 0 && surface == nullptr; --i) {
        if (m_surfaces.at(i) && m_surfaces.at(i)->isVisible()) {
            surface = m_surfaces.at(i);
        }
    }
    m_indicator = surface != nullptr ? WorkingIndicator::inside(surface) : WorkingIndicator::overWindow(m_fallbackWindow);
    connect(m_indicator, &WorkingIndicator::cancelled, this, &BusyActivity::cancel);
}

bool BusyActivity::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (!m_running) {
        // Between statements: the user's next key or click begins another action (the
        // answer to a message box of this one, at the latest), so the busy period is over.
        if (type == QEvent::KeyPress || type == QEvent::MouseButtonPress) {
            settle();
        }
        return false;
    }
    if (!watched->isWidgetType()) {
        return false; // input comes to a window first and to its widget next, judged there
    }
    if (inLaterModal(static_cast<QWidget *>(watched))) {
        return false;
    }
    if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (type == QEvent::KeyPress && key == Qt::Key_Escape) {
            cancel();
        } else if (type == QEvent::KeyPress && watched == m_typingField && !leavesTheField(key)) {
            return false;
        }
        event->accept(); // no shortcut either
        return true;
    }
    if (type == QEvent::Close) {
        event->ignore();
        return true;
    }
    if (isUserInput(type)) {
        // Only the Cancel button takes clicks.
        return m_indicator.isNull() || watched != m_indicator->cancelButton();
    }
    return false;
}

bool BusyActivity::inLaterModal(const QWidget *widget) const
{
    const QWidget *top = widget->window();
    if (top == nullptr || !top->isModal() || top == m_modalAtBegin
        || (m_indicator && top == m_indicator->window())) {
        return false;
    }
    return !std::any_of(m_surfaces.cbegin(), m_surfaces.cend(),
                        [top](const QPointer<QWidget> &surface) { return surface == top; });
}

// BusyScope -------------------------------------------------------------------------------------

BusyScope::BusyScope(ado::Connection &connection, QWidget *surface, QWidget *fallbackWindow)
    : m_connection(connection)
    , m_surface(surface)
{
    if (BusyActivity *current = BusyActivity::on(connection)) {
        m_activity = current->shared_from_this();
    } else {
        m_activity = std::make_shared<BusyActivity>(connection.statementActivity());
        connection.setStatementActivity(m_activity.get());
    }
    ++m_activity->m_scopes;
    if (fallbackWindow != nullptr) {
        m_activity->setFallbackWindow(fallbackWindow);
    }
    if (surface != nullptr) {
        m_activity->pushSurface(surface);
    }
}

BusyScope::~BusyScope()
{
    m_activity->popSurface(m_surface);
    // The last scope gives the connection its activity back, also when rows handed over still
    // keep this one for their later fetches (LentActivity).
    if (--m_activity->m_scopes == 0 && m_connection.statementActivity() == m_activity.get()) {
        m_connection.setStatementActivity(m_activity->outer());
    }
}

} // namespace condora
