#include "db/month_days.h"

MonthDays::MonthDays(int month, int year)
    : daysInMonth(QDate(year, month, 1).daysInMonth())
    , first(year, month, 1)
    , next(QDate(year, month, 1).addMonths(1))
{
    for (int day = 1; day <= 31; ++day) {
        Day &entry = days[day - 1];
        entry.inMonth = day <= daysInMonth;
        if (entry.inMonth)
            entry.dayOff = calendar::isWeekend(QDate(year, month, day));
    }
}

MonthDays::MonthDays(Connection &connection, int month, int year)
    : MonthDays(month, year,
                calendar::days(connection, QDate(year, month, 1),
                               QDate(year, month, 1).addMonths(1).addDays(-1)))
{}

void MonthDays::askStored(Dataset &query, int month, int year)
{
    const QDate first(year, month, 1);
    calendar::askDays(query, first, first.addMonths(1).addDays(-1));
}

MonthDays::MonthDays(Dataset &stored, int month, int year)
    : MonthDays(month, year,
                calendar::daysFrom(stored, QDate(year, month, 1),
                                   QDate(year, month, 1).addMonths(1).addDays(-1)))
{}

MonthDays::MonthDays(int month, int year, const QVector<calendar::Day> &calendarDays)
    : MonthDays(month, year)
{
    for (const calendar::Day &day : calendarDays) {
        Day &entry = days[day.date.day() - 1];
        entry.dayOff = day.dayOff;
        entry.name = day.name;
    }
}

QStringList MonthDays::monthNames()
{
    return {QStringLiteral("Январь"),  QStringLiteral("Февраль"), QStringLiteral("Март"),
            QStringLiteral("Апрель"),  QStringLiteral("Май"),     QStringLiteral("Июнь"),
            QStringLiteral("Июль"),    QStringLiteral("Август"),  QStringLiteral("Сентябрь"),
            QStringLiteral("Октябрь"), QStringLiteral("Ноябрь"),  QStringLiteral("Декабрь")};
}

int MonthDays::dayOfField(const QString &field)
{
    if (!field.startsWith(QLatin1Char('d')))
        return 0;
    bool ok = false;
    const int day = field.mid(1).toInt(&ok);
    return ok && day >= 1 && day <= 31 ? day : 0;
}
