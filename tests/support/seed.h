#pragma once

#include <QDate>
#include <QString>

class TDataModule6;

// Small builders of rows for tests; each returns the new row's id.
namespace seed {

qint64 worker(TDataModule6 &dm, const QString &fio);
qint64 product(TDataModule6 &dm, const QString &mark, double boxes = 1);
qint64 kind(TDataModule6 &dm, const QString &name);
// An operation of a kind on a product, with one norm per price given.
qint64 operation(TDataModule6 &dm, qint64 kindId, qint64 productId, int naimen,
                 std::initializer_list<double> prices);

struct Entry
{
    qint64 worker;
    qint64 product;
    qint64 operation;
    QDate day;
    int shift = 1;
    int hours = 8;
    int pieces = 10;
    int rejects = 0;
    double price = 1;
    QString ok = QStringLiteral("no");
    int color = 0;
};
qint64 entry(TDataModule6 &dm, const Entry &e);

// A nomenclature group (cmn_classifier.item).
qint64 group(TDataModule6 &dm, const QString &caption);
// Files a product under a nomenclature group; 0 files it under none.
void setGroup(TDataModule6 &dm, qint64 product, qint64 group);
// An hour-paid entry of shift 1 on a working day: kind 7777 household works, 7778 average piece
// rate.
void hourPaid(TDataModule6 &dm, qint64 worker, qint64 group, int kind, const QDate &day, int hours,
              double price, bool night);

struct DayHours
{
    int day;
    int hours;
};
// A worker's monthly timesheet row with hours on the days given (the others empty).
void monthRow(TDataModule6 &dm, qint64 worker, int month, int year, int shift,
              std::initializer_list<DayHours> days, int type = 0, bool night = false);

// The small shop of the report tests, without entries: the lid "КР-1 белая" (group Крышки, 0.5
// boxes a piece) cast at 1.5 and painted at 2, both finished products (naimen 0); the box "ЯЩ-2"
// (group Ящики, 2 boxes a piece) cast at 3 as blanks (naimen 1); three workers.
struct SmallShop
{
    qint64 lids = 0; // nomenclature groups
    qint64 boxes = 0;
    qint64 lid = 0; // products
    qint64 box = 0;
    qint64 cast = 0; // operation kinds
    qint64 paint = 0;
    qint64 castLid = 0; // operations
    qint64 paintLid = 0;
    qint64 castBox = 0;
    qint64 antonov = 0; // "Антонов А.А.", "Борисов Б.Б.", "Васильев В.В."
    qint64 borisov = 0;
    qint64 vasiliev = 0;
};
SmallShop smallShop(TDataModule6 &dm);

// The day value of a worker's monthly shift row: -1 when the row is missing, -2 when the day is
// empty.
int dayValue(TDataModule6 &dm, qint64 worker, int shift, const QDate &day);
// Number of monthly shift rows of a worker, shift and month.
int shiftRows(TDataModule6 &dm, qint64 worker, int shift, int month, int year);

} // namespace seed
