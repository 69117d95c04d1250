#pragma once

#include "db/production_calendar.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class ActivationHandler;
class TDataModule6;

// One month of the production calendar as a grid of weeks, Monday first: the day numbers, days
// off in red, the stored days marked, their names on hover.
class CalendarMonthModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    CalendarMonthModel(int month, QObject *parent = nullptr);

    // The days of the year shown, January 1st first.
    void setYear(int year, const QVector<calendar::Day> *days);
    // The day of a cell; invalid for a cell before the 1st or after the month's end.
    QDate dateAt(const QModelIndex &index) const;
    QModelIndex indexOf(const QDate &date) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    const calendar::Day *dayAt(const QModelIndex &index) const;

    int m_month;
    QDate m_first;
    const QVector<calendar::Day> *m_days = nullptr;
};

// The question for the name of a day about to be stored: "ОК" stores it with the name typed (may
// be empty), "Отмена" leaves the day as it was.
class DayNameDialog : public QDialog
{
    Q_OBJECT
public:
    DayNameDialog(const QDate &date, bool dayOff, QWidget *parent = nullptr);
    QString name() const;

    QLineEdit *DayName;
    QPushButton *OkButton;
    QPushButton *CancelButton;
};

// The production calendar window "Производственный календарь": a year at a glance; with full
// access a click or Space on a day makes it a day off or a working day, written at once.
class ProductionCalendar : public QDialog
{
    Q_OBJECT
public:
    explicit ProductionCalendar(TDataModule6 &dm, QWidget *parent = nullptr);

    // Without full access the days are only shown.
    void setReadOnly(bool readOnly);
    // Shows the year of the day modally, the day current.
    void showYear(const QDate &day, ActivationHandler *opener);

    // Reads the year again (storing its public holidays first when it has no day stored and the
    // window may write).
    void loadYear(int year);
    int year() const { return m_year; }
    // What a click or Space on the day does.
    void toggleDay(const QDate &date);
    const calendar::Day &dayInfo(const QDate &date) const;

    QComboBox *YearBox;
    QLabel *Summary;
    QLabel *Hint;
    std::array<QTableView *, 12> Months{};
    QPushButton *CloseButton;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showSummary();

    TDataModule6 &m_dm;
    bool m_readOnly = true;
    int m_year = 0;
    QVector<calendar::Day> m_days;
    std::array<CalendarMonthModel *, 12> m_models{};
};
