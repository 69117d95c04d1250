#pragma once

#include "designs/report_functions.h"

#include <QDate>
#include <QString>
#include <QVector>

#include <array>

class TDataModule6;

// The figures of the period charts, each read by one grouped statement over the period's entries,
// summed as the period reports sum them: good pieces are pieces less rejects, piece pay is the
// good pieces times the entry's price, and only entries whose product, operation and operation
// kind exist count (the reports join them). The product kind choice keeps the operations of that
// kind.
namespace charts {

// Shifts 1, 2, 3 and the overtime list.
constexpr int ShiftCount = 4;

// The period's days, from its start to the day before its end.
QVector<QDate> periodDays(const QDate &from, const QDate &to);

// Which of the period's days are days off (true at a day's index). The one place the charts ask.
QVector<bool> daysOff(TDataModule6 &dm, const QDate &from, const QDate &to);

// Good pieces and piece pay of one day, by shift.
struct DayOutput
{
    std::array<qint64, ShiftCount> pieces{};
    std::array<double, ShiftCount> pay{};
};

// One element per day of the period, empty days included.
QVector<DayOutput> dailyOutput(TDataModule6 &dm, const QDate &from, const QDate &to,
                               ProductKind kind);

struct WorkerPay
{
    qint64 id = 0;
    QString name;
    double pay = 0;
    qint64 hours = 0;
    // Pay per hour of piece work; 0 without hours.
    double perHour() const { return hours > 0 ? pay / double(hours) : 0; }
};

// The workers with the highest piece pay of the period, highest first (by name when equal), at
// most count of them.
QVector<WorkerPay> topWorkers(TDataModule6 &dm, const QDate &from, const QDate &to,
                              ProductKind kind, int count = 20);

// All pieces and rejects of one day.
struct DayRejects
{
    qint64 pieces = 0;
    qint64 rejects = 0;
    // Rejects as a percentage of the pieces; 0 without pieces.
    double percent() const { return pieces > 0 ? 100.0 * double(rejects) / double(pieces) : 0; }
};

// One element per day of the period, empty days included.
QVector<DayRejects> dailyRejects(TDataModule6 &dm, const QDate &from, const QDate &to,
                                 ProductKind kind);

// The period's rejects as a percentage of its pieces: the total, not an average of the days.
double periodRejectPercent(const QVector<DayRejects> &days);

} // namespace charts
