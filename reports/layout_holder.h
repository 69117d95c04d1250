#pragma once

#include "db/dataset.h"
#include "designs/report_functions.h"
#include "output/prepared_report.h"
#include "output/report.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QWidget>

class TDataModule6;

// A printed report: one query and one layout. Created at start-up and never shown itself; the
// calling window fills the query's parameters, opens it, sets the title, prepares the report and
// shows it in the preview, then closes the query. The steps themselves are the report functions'
// (designs/report_functions.h), which tabel-report calls without a window.
class LayoutHolder : public QWidget
{
    Q_OBJECT
public:
    ~LayoutHolder() override;

    Dataset &query() { return m_query; }
    const QString &queryName() const { return m_queryName; }
    // The layout; its title label is filled in by the caller.
    report::Report QuickRep1;

    // Shows prepared pages in the preview window; the user prints from there. The query is still
    // open: a change of paper or orientation there prepares the pages again from its rows.
    void preview(const report::PreparedReport &prepared, QWidget *parent);

protected:
    LayoutHolder(TDataModule6 &dm, const QString &objectName, const reporting::ReportDesign &design,
                 QWidget *parent);

private:
    Dataset m_query;
    QString m_queryName;
};

// The layouts of the period reports: every odd-numbered date parameter of the query takes the
// period's start, every even-numbered one its end (excluded); the product kind filters the rows on
// the client; the title "QRLabel1" names the report and the period.
class PeriodLayout : public LayoutHolder
{
    Q_OBJECT
public:
    // Parameters, filter, open, title, prepare: the pages of the period. The query is left open
    // for the caller to close after showing them.
    report::PreparedReport prepare(const QDate &from, const QDate &to, ProductKind kind);
    // The whole print: the pages are prepared, shown in the preview, and the query is closed (also
    // when the query fails).
    void print(const QDate &from, const QDate &to, ProductKind kind, QWidget *previewParent);

protected:
    PeriodLayout(TDataModule6 &dm, const QString &objectName,
                 const reporting::PeriodReportDesign &design, QWidget *parent);

private:
    reporting::PeriodReportDesign m_design;
};
