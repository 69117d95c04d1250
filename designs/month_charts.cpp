#include "designs/month_charts.h"

#include "db/data_module.h"
#include "db/dataset.h"
#include "db/production_calendar.h"

namespace charts {

namespace {

// The entries of the period summed per day, shift, operation and product first, so that the names
// are joined to a few thousand sums rather than to a year of entries; the joins and the kind
// filter are those of the period reports. Parameters data1 (start), data2 (end, excluded), kind
// (-1 for every kind).
const char *const PeriodEntries =
    "from (select %1 from accounts_dep.smena where data<:data2 and data>=:data1 group by %2) s "
    "join accounts_dep.oper on oper.id=s.o_id "
    "join accounts_dep.vid_oper on vid_oper.id=oper.vid "
    "join accounts_dep.izdel on izdel.id=s.i_id ";
const char *const KindFilter = "where (:kind<0 or oper.naimen=:kind) ";

void setUp(Dataset &query, const QString &sql, const QDate &from, const QDate &to, ProductKind kind)
{
    query.setSql(sql);
    query.setParam(QStringLiteral("data1"), from);
    query.setParam(QStringLiteral("data2"), to);
    // Finished products are kind 0, blanks exactly 1, as the reports' filter reads them.
    query.setParam(QStringLiteral("kind"), kind == ProductKind::All        ? -1
                                           : kind == ProductKind::Finished ? 0
                                                                           : 1);
    query.open();
}

// Hands each row of a per-day statement to `row` with its day's place in the period; a row
// outside the period is skipped.
template<typename RowOfDay>
void eachDay(Dataset &query, const QDate &from, qsizetype days, RowOfDay row)
{
    for (query.first(); !query.eof(); query.next()) {
        const qint64 index = from.daysTo(query.date(QStringLiteral("data")));
        if (index >= 0 && index < days)
            row(qsizetype(index));
    }
}

} // namespace

QVector<QDate> periodDays(const QDate &from, const QDate &to)
{
    QVector<QDate> days;
    for (QDate day = from; day < to; day = day.addDays(1))
        days.append(day);
    return days;
}

QVector<bool> daysOff(TDataModule6 &dm, const QDate &from, const QDate &to)
{
    QVector<bool> off;
    if (from >= to)
        return off;
    // The production calendar, the whole period in one query.
    for (const calendar::Day &day : calendar::days(dm.ADO_DB, from, to.addDays(-1)))
        off.append(day.dayOff);
    return off;
}

QVector<DayOutput> dailyOutput(TDataModule6 &dm, const QDate &from, const QDate &to,
                               ProductKind kind)
{
    QVector<DayOutput> days(qMax<qsizetype>(0, from.daysTo(to)));
    if (days.isEmpty())
        return days;
    Dataset query(dm.ADO_DB);
    setUp(query,
          QStringLiteral("select s.data, s.smena, sum(s.good) as good, sum(s.pay) as pay ") +
              QString::fromLatin1(PeriodEntries)
                  .arg(QStringLiteral("data, smena, o_id, i_id, sum(kol_vo-brak) as good, "
                                      "sum(((kol_vo-brak)*cena)::numeric) as pay"),
                       QStringLiteral("data, smena, o_id, i_id")) +
              QString::fromLatin1(KindFilter) + QStringLiteral("group by s.data, s.smena"),
          from, to, kind);
    eachDay(query, from, days.size(), [&](qsizetype index) {
        const qint64 shift = query.integer(QStringLiteral("smena"));
        if (shift < 1 || shift > ShiftCount)
            return;
        days[index].pieces[size_t(shift - 1)] += query.integer(QStringLiteral("good"));
        days[index].pay[size_t(shift - 1)] += query.decimal(QStringLiteral("pay"));
    });
    return days;
}

QVector<WorkerPay> topWorkers(TDataModule6 &dm, const QDate &from, const QDate &to,
                              ProductKind kind, int count)
{
    QVector<WorkerPay> workers;
    if (from >= to)
        return workers;
    Dataset query(dm.ADO_DB);
    setUp(
        query,
        QStringLiteral("select s.w_id, person.s_caption as fio, sum(s.pay) as pay, "
                       "sum(s.hours) as hours ") +
            QString::fromLatin1(PeriodEntries)
                .arg(QStringLiteral("w_id, o_id, i_id, sum(((kol_vo-brak)*cena)::numeric) as "
                                    "pay, sum(time) as hours"),
                     QStringLiteral("w_id, o_id, i_id")) +
            QStringLiteral("join cmn_contractor.person person on s.w_id=person.s_code::integer ") +
            QString::fromLatin1(KindFilter) +
            QStringLiteral("group by s.w_id, person.s_caption "
                           "order by pay desc, fio, s.w_id limit %1")
                .arg(count),
        from, to, kind);
    for (query.first(); !query.eof(); query.next())
        workers.append({query.integer(QStringLiteral("w_id")), query.text(QStringLiteral("fio")),
                        query.decimal(QStringLiteral("pay")),
                        query.integer(QStringLiteral("hours"))});
    return workers;
}

QVector<DayRejects> dailyRejects(TDataModule6 &dm, const QDate &from, const QDate &to,
                                 ProductKind kind)
{
    QVector<DayRejects> days(qMax<qsizetype>(0, from.daysTo(to)));
    if (days.isEmpty())
        return days;
    Dataset query(dm.ADO_DB);
    setUp(query,
          QStringLiteral("select s.data, sum(s.pieces) as pieces, sum(s.rejects) as rejects ") +
              QString::fromLatin1(PeriodEntries)
                  .arg(QStringLiteral("data, o_id, i_id, sum(kol_vo) as pieces, "
                                      "sum(brak) as rejects"),
                       QStringLiteral("data, o_id, i_id")) +
              QString::fromLatin1(KindFilter) + QStringLiteral("group by s.data"),
          from, to, kind);
    eachDay(query, from, days.size(), [&](qsizetype index) {
        days[index].pieces += query.integer(QStringLiteral("pieces"));
        days[index].rejects += query.integer(QStringLiteral("rejects"));
    });
    return days;
}

double periodRejectPercent(const QVector<DayRejects> &days)
{
    DayRejects total;
    for (const DayRejects &day : days) {
        total.pieces += day.pieces;
        total.rejects += day.rejects;
    }
    return total.percent();
}

} // namespace charts
