#pragma once

#include "db/month_days.h"
#include "ui/modal.h"

#include <QDialog>

#include <memory>

class DataGrid;
class DatasetModel;
class LiveRefresh;
class QComboBox;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QWidget;
class TDataModule6;
class TForm15;

// The hours timesheet of a month by shifts: one tab per shift with each worker's hours per day,
// the rebuild of the month's shift rows, and the printed and exported hours table.
class TForm19 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    // The timesheet prints through the hours table layout.
    TForm19(TDataModule6 &dm, TForm15 &hoursTable, QWidget *parent = nullptr);
    ~TForm19() override;

    QTabWidget *PageControl1;
    QWidget *TabSheet1;
    QWidget *TabSheet2;
    QWidget *TabSheet3;
    DataGrid *DBGrid1;
    DataGrid *DBGrid2;
    DataGrid *DBGrid3;
    QPushButton *Button6;
    QPushButton *Button2;
    QComboBox *ComboBox1;
    QComboBox *ComboBox2;
    QPushButton *Button5;
    QPushButton *Button1;
    QProgressBar *PB;
    QPushButton *Button4;
    // Re-reads the month when another copy changes its entries or monthly rows.
    LiveRefresh *Live = nullptr;

    // Selects a month and year (the year list runs from 2007 to next year) and loads the month;
    // what the main menu does before showing the window.
    void selectMonth(int month, int year);
    // The menu item: the month of the given date, shown modally; the shift queries are closed
    // afterwards.
    void showMonth(const QDate &day, ActivationHandler *opener);

    void FormActivate() override;
    void ComboBox1Change();
    void Button5Click();
    void Button1Click();
    void Button6Click();
    void Button2Click();

    int month() const;
    int year() const;

private:
    void styleGrids();
    void rereadMonth();
    QVariant cellStyle(int recNo, int shift, const QString &field, int role) const;

    TDataModule6 &m_dm;
    TForm15 &m_hoursTable;
    std::unique_ptr<MonthDays> m_days;
    DatasetModel *m_models[3] = {};
};
