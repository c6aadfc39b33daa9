#include "dialog/livecount.h"

#include "analysis/statementtools.h"
#include "platform/ado/connection.h"
#include "platform/ado/connectionstatistics.h"
#include "platform/ado/recordset.h"
#include "platform/ado/runconnection.h"
#include "platform/ado/statementactivity.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>

#include <atomic>

using namespace Qt::StringLiterals;

namespace condora {

/// One count handed to the worker. The worker's connection asks it whether to go on; the
/// dialog's side (statement, owner) is read on the GUI thread only.
struct LiveCount::Flight final : ado::StatementActivity
{
    QString statement;
    QPointer<LiveCount> owner;
    std::atomic<bool> stopped{false};

    void begin(const QString &) override {}
    bool keepGoing() override { return !stopped.load(); }
    void end() override {}
};

LiveCount::LiveCount(std::shared_ptr<ado::Connection> connection, QLabel *label, QObject *parent)
    : QObject(parent)
    , m_connection(std::move(connection))
    , m_label(label)
{
    setObjectName(u"liveCount"_s);
    m_delay.setSingleShot(true);
    m_delay.setInterval(DelayMs);
    connect(&m_delay, &QTimer::timeout, this, &LiveCount::start);
    if (m_label) {
        m_label->setObjectName(u"lblLiveCount"_s);
        m_label->setAccessibleName(tr("Row count"));
        m_label->setAccessibleDescription(tr("How many rows the statement gives with the condition as it is now."));
        m_label->hide();
    }
}

LiveCount::~LiveCount()
{
    stopFlight();
}

bool LiveCount::available() const
{
    return m_connection && m_connection->isOpen() && ado::runsOnWorker(*m_connection);
}

QString LiveCount::rowsText(qint64 rows)
{
    return rows == 1 ? tr("1 row") : tr("%1 rows").arg(rows);
}

void LiveCount::setStatement(const QString &statement)
{
    if (statement == m_statement) {
        return; // the count shown or in flight is still the one asked for
    }
    m_statement = statement;
    stopFlight();
    show(QString());
    if (m_statement.isEmpty()) {
        m_delay.stop();
    } else {
        m_delay.start();
    }
}

void LiveCount::stop()
{
    if (!m_flight) {
        return;
    }
    stopFlight();
    m_delay.start();
}

void LiveCount::stopFlight()
{
    if (m_flight) {
        m_flight->stopped = true;
        m_flight.reset();
    }
}

void LiveCount::start()
{
    if (m_statement.isEmpty() || m_flight || !available()) {
        return;
    }
    if (m_connection->statementRunning()) {
        m_delay.start(); // the dialog's own statement goes first
        return;
    }
    auto flight = std::make_shared<Flight>();
    flight->statement = m_statement;
    flight->owner = this;
    const QString sql = countSql(m_statement);
    const bool handed = ado::postToRunWorker(*m_connection, flight, [flight, sql](ado::Connection &own) {
        bool ok = false;
        qint64 rows = 0;
        if (!flight->stopped) {
            try {
                ado::Recordset recordset;
                recordset.Open(sql, own);
                rows = recordset.Eof() ? 0 : recordset.Fields().Item(0).Value().toLongLong();
                recordset.Close();
                ok = !flight->stopped;
            } catch (...) {
                ok = false; // a failed or stopped count shows nothing
            }
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [flight, ok, rows] {
                if (LiveCount *self = flight->owner.data()) {
                    self->arrived(*flight, ok, rows);
                }
            },
            Qt::QueuedConnection);
    });
    if (handed) {
        ado::countStatement(*m_connection, sql); // counted as every statement of the run is
        m_flight = std::move(flight);
    }
}

void LiveCount::arrived(const Flight &flight, bool ok, qint64 rows)
{
    if (&flight != m_flight.get()) {
        return; // stopped or replaced meanwhile
    }
    m_flight.reset();
    if (!ok) {
        show(QString());
        return;
    }
    show(rowsText(rows));
    Q_EMIT counted(flight.statement, rows);
}

void LiveCount::show(const QString &text)
{
    m_text = text;
    refit();
    if (m_label) {
        m_label->setVisible(!text.isEmpty());
    }
}

void LiveCount::refit()
{
    if (!m_label) {
        return;
    }
    // Cut with "..." where the room left of the buttons is too narrow; whole in the tool tip.
    m_label->setText(QFontMetrics(m_label->font()).elidedText(m_text, Qt::ElideRight, m_label->width()));
    m_label->setToolTip(m_text);
}

} // namespace condora
