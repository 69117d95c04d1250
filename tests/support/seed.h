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

// The day value of a worker's monthly shift row: -1 when the row is missing, -2 when the day is
// empty.
int dayValue(TDataModule6 &dm, qint64 worker, int shift, const QDate &day);
// Number of monthly shift rows of a worker, shift and month.
int shiftRows(TDataModule6 &dm, qint64 worker, int shift, int month, int year);

} // namespace seed
