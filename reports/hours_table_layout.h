#pragma once

#include "reports/layout_holder.h"

class Connection;

// The holder of the printed monthly hours table (designs/hours_table_design.h): one line per
// worker name with his hours of every day of the month summed over all his monthly rows, and the
// row's total. A4 landscape.
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

private:
    Connection &m_connection;
};
