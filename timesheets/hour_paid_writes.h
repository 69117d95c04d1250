#pragma once

#include <QDate>

class TDataModule6;

// Hour-paid work: household works (kind 7777) and work paid at the worker's average piece rate
// (kind 7778), booked in hours against a nomenclature group. The writes the hour-paid list and
// its entry dialog make, and the price per hour they store.
namespace hourpaid {

constexpr qint64 HouseholdWorks = 7777;
constexpr qint64 AveragePieceRate = 7778;
// Hours of one entry; kept small so that a day's sum of many entries still fits the day column.
constexpr int MaxHours = 9999;

// The price per hour of an entry: the kind's base price, doubled on a day off, then raised by
// 1.2 for night work (2.4 times the base for both), rounded to 4 decimals as it is stored.
double hourlyPrice(double basePrice, bool dayOff, bool night);

struct Entry
{
    qint64 groupId = 0;
    qint64 kind = HouseholdWorks;
    qint64 workerId = 0;
    qint64 hours = 0;
    double price = 0; // per hour
    bool holiday = false;
    int night = 0;
    QDate day; // of a new entry; a changed one keeps its own
    int shift = 1;
};

// Writes a new entry (id 0) or changes entry id (its day, month, year and shift stay as stored)
// and posts the hours of its day into the monthly row of its worker, kind and night flag; a
// change that moves the entry to another worker, kind or flag re-posts the row it left. One
// statement. Returns the entry's id. A change of an entry that another copy deleted raises
// DbError::rowDeleted().
qint64 save(TDataModule6 &dm, const Entry &entry, qint64 id);

// The id of a new entry, taken once per edit before its first save and kept for every further
// attempt: the key that lets a save be repeated after its answer was lost.
qint64 newEntryId(TDataModule6 &dm);
// Writes a new entry under the id newEntryId() gave. When an earlier attempt with that id landed
// (its answer was lost with the connection), the entry it stored takes these values instead: the
// entry is stored once however often the save is repeated. Returns the id.
qint64 saveNew(TDataModule6 &dm, const Entry &entry, qint64 id);
// Deletes an entry and re-posts its day. False when it was gone already.
bool remove(TDataModule6 &dm, qint64 id);

} // namespace hourpaid
