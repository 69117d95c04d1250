#pragma once

#include <QDate>

class TDataModule6;

// Posting of a worker's hours of one shift and day into his monthly shift row of
// accounts_dep.h_tabel: the day column holds the sum of the hours of his entries of that shift and
// day. Each call runs in a transaction (joining the caller's, e.g. the entry write) and under a
// lock on the worker's month, so two copies posting at once neither create two rows nor overwrite
// each other's sums.
namespace posting {

// After an entry was saved: writes the day's sum (0 when no hours), inserting the row when missing.
void postDay(TDataModule6 &dm, qint64 workerId, int shift, const QDate &day);

// After an entry was deleted or moved away: the day's sum of the remaining entries, empty when none
// remains. No row is inserted.
void postDayAfterDelete(TDataModule6 &dm, qint64 workerId, int shift, const QDate &day);

// Deletes the shift entries that meet a condition on accounts_dep.smena (SQL text built from
// values, e.g. "i_id =5") and re-posts every worker, shift and day whose entries went, as
// postDayAfterDelete does, in one transaction (joining the caller's). Set-based for deletes of many
// entries: one statement per day of the month touched, not per worker and day. Once per
// transaction. Returns the number of entries deleted.
int deleteEntries(TDataModule6 &dm, const QString &condition);

// The same for hour-paid work: the fatigue row of a worker, work kind (7777, 7778) and night flag
// holds the day's sum of the hours of his entries of that kind and flag.
void postFatigueDay(TDataModule6 &dm, qint64 workerId, qint64 kind, int night, const QDate &day);
void postFatigueDayAfterDelete(TDataModule6 &dm, qint64 workerId, qint64 kind, int night,
                               const QDate &day);

// Takes the locks that every write of a worker's monthly rows takes, inside the caller's
// transaction: the month shared (a month rebuild takes it exclusively), then the worker's month.
void lockWorkerMonth(TDataModule6 &dm, qint64 workerId, int month, int year);
// The month's lock taken exclusively, for the rebuilds of a whole month.
void lockMonth(TDataModule6 &dm, int month, int year);

} // namespace posting
