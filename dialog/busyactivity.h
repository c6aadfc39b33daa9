#pragma once

#include "platform/ado/statementactivity.h"

#include "platform/userinteraction.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>


namespace condora {

namespace ado {
class Connection;
}

class WorkingIndicator;

/// What the user sees and may do while the control's statements run: the window keeps its
/// events, and after ShowAfterMs the busy pointer and a "Working..." indicator with a Cancel
/// button (WorkingIndicator) appear, in the dialog on top (a surface) or, before the query
/// dialog opens and after it closed, in a small window over the control's window. Cancel, or
/// Escape anywhere, stops the statement (keepGoing() answers false); the data layer then throws
/// RuntimeError with ErrorNumber::Cancelled, which the trapping routine reports once.
///
/// While a statement runs, every key, click, wheel turn and close request is held back
/// except Cancel and Escape: nothing can start another statement on the connection or close a
/// window meanwhile. A modal window that host code opens meanwhile (a message box from a timer)
/// gets its own input, so that it can be answered; the statement goes on once it has closed. Statements that follow one another without the event loop running in
/// between (the probes of one analysis, the fetches of one list) form one busy period: the
/// indicator stays, and once the user stopped one of them every later one of the period is
/// stopped before it runs, so one Cancel ends the whole action. The period ends when the event
/// loop runs with no statement running (a message box, or the dialog waiting for the user).
///
/// An activity the host had put on the connection keeps being told about every statement
/// (begin, keepGoing, end), and may stop it too.
class BusyActivity : public QObject, public ado::StatementActivity, public std::enable_shared_from_this<BusyActivity>
{
    Q_OBJECT

public:
    /// The pause before the busy pointer and the indicator appear.
    static constexpr int ShowAfterMs = 300;

    explicit BusyActivity(ado::StatementActivity *outer = nullptr);
    ~BusyActivity() override;

    ///@{
    /// As StatementActivity describes them.
    void begin(const QString &sql) override;
    bool keepGoing() override;
    void end() override;
    ///@}

    /// Runs `work` (plain data only, no database objects) on a worker thread while the window
    /// keeps its events and shows the busy state; false when the user stopped it (the work
    /// still finishes, and its result is to be dropped).
    bool runAside(const std::function<void()> &work);

    /// True while a statement runs (or work aside).
    bool running() const { return m_running; }
    /// Stops the statement that runs now because a newer one replaces it: keepGoing() answers
    /// false until it ends. Unlike Cancel, nothing is reported and the statements after it run.
    void stopForNewer() { m_stopForNewer = m_running; }

    /// Lets the user go on typing into `field` (a search field) while a statement runs: its
    /// key presses pass (the field's owner sees Enter, and is to act on it once nothing runs),
    /// except those that move beyond the field (Tab, the up and down keys) and Escape, which
    /// stops the statement as anywhere. Null takes it back.
    void setTypingField(QWidget *field) { m_typingField = field; }
    /// True when the user stopped a statement of the busy period that lasts.
    bool cancelled() const { return m_cancelled; }

    ///@{
    /// The dialogs that show the indicator, the last one on top; without one (or when it is
    /// hidden) the small window opens over `fallbackWindow`.
    void pushSurface(QWidget *surface);
    void popSurface(QWidget *surface);
    void setFallbackWindow(QWidget *window) { m_fallbackWindow = window; }
    ///@}

    /// The activity on `connection` when it is one of these (null otherwise).
    static BusyActivity *on(const ado::Connection &connection);
    /// The host's activity this one tells about every statement (null when none).
    ado::StatementActivity *outer() const { return m_outer; }

Q_SIGNALS:
    /// A statement (or work aside) begins.
    void begun();
    /// The indicator has appeared inside `surface` (null: in a window of its own); the surface
    /// may show which of its controls cannot act now.
    void indicatorShown(QWidget *surface);
    /// The busy period is over: the window is the user's again.
    void settled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void prepareIndicator();
    void showIndicator();
    /// Ends the busy period once the event loop runs with no statement running.
    void settle();
    void cancel() { m_cancelled = true; }
    /// True when `widget` is in a modal window that opened while the statement ran (a host's
    /// message box, say): its input is its own, not held back.
    bool inLaterModal(const QWidget *widget) const;

    friend class BusyScope;

    ado::StatementActivity *m_outer = nullptr;
    int m_scopes = 0; // BusyScopes that share this activity
    QList<QPointer<QWidget>> m_surfaces;
    QPointer<QWidget> m_fallbackWindow;
    QPointer<QWidget> m_typingField;
    QPointer<WorkingIndicator> m_indicator;
    QPointer<QWidget> m_modalAtBegin; // the modal window on top when the statement began
    QElapsedTimer m_sincePeriod;
    QElapsedTimer m_sinceEvents;
    bool m_period = false;
    bool m_running = false;
    bool m_cancelled = false;
    bool m_stopForNewer = false;
    bool m_settlePending = false;
    bool m_pointerSet = false;
    MousePointer m_pointerBefore = MousePointer::Default;
};

/// Puts a BusyActivity on a connection for the span of a dialog or a run: the one already
/// there gets `surface` on top, or a new one goes on the connection (telling the host's own
/// activity, if any). The scopes on one activity share it; when the last of them ends, the
/// connection gets back the activity it had before.
class BusyScope
{
public:
    BusyScope(ado::Connection &connection, QWidget *surface, QWidget *fallbackWindow = nullptr);
    ~BusyScope();
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

    BusyActivity &activity() const { return *m_activity; }

private:
    ado::Connection &m_connection;
    std::shared_ptr<BusyActivity> m_activity;
    QPointer<QWidget> m_surface;
};

} // namespace condora
