#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QLabel;

namespace condora {

namespace ado {
class Connection;
}

/// The live row count of the query dialog (the control's LiveCount): how many rows the final
/// statement gives, shown in a label (lblLiveCount) while the condition is valid.
///
/// The rows are counted as Verify counts them (countSql()) on the run's own connection, on its
/// worker thread: the dialog hands the count over and goes on; the answer comes back as an
/// event. A count starts a moment after the last change (DelayMs), so that typing does not
/// start one per keystroke; a newer change, a statement of the dialog (stop()) or the end of
/// the dialog stops the one in flight, on the server where the database allows it, and its
/// answer is dropped. A count that fails shows nothing.
///
/// When the run's statements go to the host's connection there is no worker: counting would
/// hold the GUI thread in a database call, so nothing is counted (available() is false) and the
/// label stays hidden.
class LiveCount : public QObject
{
    Q_OBJECT

public:
    /// The pause after the last change before a count starts.
    static constexpr int DelayMs = 250;

    /// Counts the statements given to setStatement() on `connection` and shows them in `label`
    /// (named lblLiveCount here); both stay the caller's.
    LiveCount(std::shared_ptr<ado::Connection> connection, QLabel *label, QObject *parent = nullptr);
    /// Stops the count in flight.
    ~LiveCount() override;

    /// The final statement now: empty while the condition is not valid (then the label is
    /// cleared and hidden). A change stops the count in flight and counts again after DelayMs.
    void setStatement(const QString &statement);
    /// Stops the count in flight and the one waiting to start; the current statement is counted
    /// again once the connection is idle.
    void stop();
    /// True when counts can run (the run has a connection of its own).
    bool available() const;
    /// Fits the count to the label's width after a resize: cut with "..." when it does not fit,
    /// whole in the tool tip.
    void refit();
    /// The label's text for `rows`.
    static QString rowsText(qint64 rows);

Q_SIGNALS:
    /// A count of `statement` arrived and is shown.
    void counted(const QString &statement, qint64 rows);

private:
    struct Flight;
    void start();
    void stopFlight();
    void arrived(const Flight &flight, bool ok, qint64 rows);
    void show(const QString &text);

    std::shared_ptr<ado::Connection> m_connection;
    QPointer<QLabel> m_label;
    QTimer m_delay;
    QString m_statement;
    QString m_text; // the count shown, whole
    std::shared_ptr<Flight> m_flight; // the count in flight, or null
};

} // namespace condora
