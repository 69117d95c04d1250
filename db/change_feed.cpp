#include "db/change_feed.h"

#include "db/connection.h"

#include <QSqlDriver>
#include <QVariant>

const QString ChangeFeed::Channel = QStringLiteral("tabel_changes");

bool TableChange::touches(const QString &name, const QDate &from, const QDate &to) const
{
    if (table.compare(name, Qt::CaseInsensitive) != 0)
        return false;
    return touchesEverything() || (first <= to && from <= last);
}

bool TableChange::touchesMonth(const QString &name, int month, int year) const
{
    const QDate start(year, month, 1);
    return start.isValid() && touches(name, start, start.addMonths(1).addDays(-1));
}

bool touchesTimesheetMonth(const TableChange &change, int month, int year)
{
    for (const char *table : {"smena", "fatigue", "h_tabel", "closed_month", "absence"}) {
        if (change.touchesMonth(QLatin1String(table), month, year))
            return true;
    }
    return false;
}

TableChange TableChange::parse(const QString &payload)
{
    const QStringList parts = payload.split(QLatin1Char(' '));
    TableChange change;
    if (parts.isEmpty() || parts.size() > 3 || parts.first().isEmpty())
        return change;
    change.table = parts.first();
    if (parts.size() == 3) {
        change.first = QDate::fromString(parts.at(1), Qt::ISODate);
        change.last = QDate::fromString(parts.at(2), Qt::ISODate);
    }
    // Half a range is no range: "everything" rather than a day too few.
    if (!change.first.isValid() || !change.last.isValid())
        change.first = change.last = QDate();
    return change;
}

ChangeFeed::ChangeFeed(Connection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
{}

ChangeFeed::~ChangeFeed()
{
    m_connection.setReopenedHandler({});
}

void ChangeFeed::start()
{
    if (m_started)
        return;
    m_started = true;
    // The driver lives as long as the connection, across reopenings.
    connect(m_connection.driver(), &QSqlDriver::notification, this,
            [this](const QString &name, QSqlDriver::NotificationSource source,
                   const QVariant &payload) {
                heard(name, source == QSqlDriver::SelfSource, payload);
            });
    // Told in the middle of a statement's reopening: the windows hear it once that is over.
    m_connection.setReopenedHandler([this] {
        QMetaObject::invokeMethod(this, &ChangeFeed::reconnected, Qt::QueuedConnection);
    });
    m_connection.listen(Channel);
}

void ChangeFeed::heard(const QString &name, bool own, const QVariant &payload)
{
    // The copy re-reads after its own writes already.
    if (own || name != Channel)
        return;
    const TableChange change = TableChange::parse(payload.toString());
    if (!change.table.isEmpty())
        Q_EMIT changed(change);
}
