#pragma once

#include "ui/modal.h"

#include <QDate>
#include <QDialog>

class DataGrid;
class DayBoxWatch;
class Dataset;
class LiveRefresh;
class LookupCombo;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class TDataModule6;
class TForm24;
class TForm26;
class TForm5;

#include <memory>

// The list of one day's hour-paid entries "Хоз. работы (25)": add, change, delete, and the
// average piece-rate prices of the month.
class TForm25 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    // The list picks workers and groups for its entry dialog, which it makes and keeps: the dialog
    // writes the entries of the list's day and shift.
    TForm25(TDataModule6 &dm, TForm5 &workers, TForm26 &groups, QWidget *parent = nullptr);
    ~TForm25() override;

    TForm24 &Form24() const { return *m_dialog; }

    DataGrid *DBGrid1;
    QPushButton *Button5;
    QPushButton *Button6;
    QPushButton *Button7;
    QPushButton *Button1;
    QDateEdit *DTPcker1;
    QCheckBox *CBox1;
    QPushButton *Button8;
    // Shown while the day's month is closed: its entries can only be looked at.
    QLabel *ClosedMark;

    // The entries of the list's date with worker, group and kind names.
    Dataset *fatigue;
    // The shift that new entries get.
    int ShiftNo = 1;
    // Re-reads the day's list when another copy changes its hour-paid entries.
    LiveRefresh *Live;

    // What the main window does: the list for a day, shown modally.
    void showForDay(const QDate &day, ActivationHandler *opener);

    void FormActivate() override;
    void DTPcker1Change();
    void CBox1Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button1Click();
    void Button4Click();

    // Reads the list again and goes back to a record number (clamped to the last row).
    void reloadAt(int recNo);

    // Whether the shown day's month is closed (its commands are off).
    bool dayClosed() const { return m_dayClosed; }

private:
    void load(const QDate &day);
    // The closed mark and the commands for the month of the day shown.
    void showMonthState(const QDate &day);

    TDataModule6 &m_dm;
    QDate m_shownDate;
    bool m_dayClosed = false;
    std::unique_ptr<TForm24> m_dialog;
    DayBoxWatch *m_dayWatch = nullptr;
};

// The dialog "Хоз. работы/среднесдельная (24)": one hour-paid entry of the list's day, new or
// changed, priced and posted into the worker's monthly row of its kind and night flag.
class TForm24 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    TForm24(TDataModule6 &dm, TForm5 &workers, TForm26 &groups, TForm25 &list,
            QWidget *parent = nullptr);
    ~TForm24() override;

    QLineEdit *Edit1;
    QPushButton *Button3;
    QLineEdit *Edit2;
    QPushButton *Button4;
    LookupCombo *cb_type_work;
    QLineEdit *Edit6;
    QLineEdit *DBEdit1;
    QLineEdit *DBEdit2;
    QCheckBox *CBox1;
    QPushButton *Button1;
    QPushButton *Button6;

    // The work kinds with their base prices per hour.
    Dataset *type_work;

    // 1 adds a new entry, 2 changes the list's current one.
    int Tag = 1;
    qint64 WorkerId = 0;
    qint64 GroupId = 0;

    // What the list does before showing the dialog: a new entry, or a change of the list's
    // current row. Both open type_work; the list closes it afterwards.
    void prepareNew();
    void prepareChange(const Dataset &row);

    void FormActivate() override;
    void Button3Click();
    void Button4Click();
    void Button1Click();
    // Shows the chosen kind's base price and the sum of the typed hours at the price the save
    // will store.
    void updatePrices();

private:
    bool save();
    void openKinds();
    bool dayOff() const;

    TDataModule6 &m_dm;
    TForm5 &m_workers;
    TForm26 &m_groups;
    TForm25 &m_list;
    // The entry that a change writes to.
    qint64 m_entryId = 0;
    // The id a new entry is stored under, taken when the dialog is prepared for it.
    qint64 m_newId = 0;
};
