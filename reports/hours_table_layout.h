#pragma once

#include "reports/layout_holder.h"

class Connection;

// The printed monthly hours table: one line per worker name with his hours of every day of the
// month summed over all his monthly rows, and the row's total. A4 landscape.
class TForm15 : public LayoutHolder
{
    Q_OBJECT
public:
    explicit TForm15(TDataModule6 &dm, QWidget *parent = nullptr);

    // Parameters mnth (1..12) and yea.
    Dataset &H_Tabel;

    // The title label "QRLabel33" ("Данные за:" until a print sets it).
    QString title() const;

    // Parameters, open, title, prepare: the month's pages. The query stays open for the caller
    // (the timesheet window closes it after the preview).
    report::PreparedReport prepare(int month, int year, const QString &title);
    // The whole print: prepare, show in the preview, close the query (also when it fails).
    void print(int month, int year, const QString &title, QWidget *previewParent = nullptr);

    // The title the timesheet window sets: month name, year and " г." ("Март 2024 г.").
    static QString monthTitle(int month, int year);

    static QStringList sqlText();
    static report::Layout design();
    // Left edges of the 31 day cells, in millimetres.
    static const QVector<double> &dayCells();
    // The names of a day's title and of its cells, shaded on the month's days off.
    static QString dayTitle(int day);
    static QString dayCell(int day);

private:
    Connection &m_connection;
};
