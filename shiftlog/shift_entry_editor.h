#pragma once

#include "ui/modal.h"

#include <QDate>
#include <QDialog>

#include <memory>

class Command;
class Dataset;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class TDataModule6;
class TForm4;
class TForm5;

// The shift entry editor: one entry of the day's shift log, new or changed.
class TForm11 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    // The editor picks the worker from the worker list and the operation from the operation list.
    TForm11(TDataModule6 &dm, TForm5 &workers, TForm4 &operations, QWidget *parent = nullptr);
    ~TForm11() override;

    QLineEdit *Edit1;
    QPushButton *Button3;
    QLineEdit *Edit2;
    QPushButton *Button4;
    QLineEdit *Edit3;
    QLineEdit *Edit6;
    QLabel *Label6;
    QLineEdit *Edit5;
    QDateEdit *DTimeP;
    QLineEdit *Edit4;
    QLineEdit *Edit8;
    QLineEdit *Edit7;
    QLineEdit *Edit9;
    QPushButton *Button1;
    QPushButton *Button2;

    int Tag = 1;
    // The entry the last save stored (0: none): the log stands on it when it reads its lists again.
    qint64 SavedId = 0;
    qint64 WorkerId = 0;
    qint64 ProductId = 0;
    qint64 OperationId = 0;
    double PiecePrice = 0;
    // The shift log's shift, the day it lists and its "Выходной" tick, set by the shift log
    // before it opens the editor. The tick is that day's; an entry of another day is priced by
    // that day's own status.
    int ShiftNo = 1;
    bool DayOff = false;
    QDate MainDay;
    // The shift the entry goes to.
    QLabel *ShiftLabel;

    // What the shift log does before showing the editor: a new entry of its day, or a change of
    // the current row of a shift query.
    void prepareNew(const QDate &day);
    void prepareChange(const Dataset &shiftQuery);

    void FormActivate() override;
    void Button3Click();
    void Button4Click();
    void Button1Click();
    // Refreshes the price boxes from the price and the pieces.
    void updatePrices();
    // Another date: the price of a chosen operation follows that date's day-off status.
    void DTimePChange();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isPaint() const;
    // Whether the entry's date is a day off.
    bool dayOff() const;
    void showShift();
    void showPrices();
    void showColourBox();
    bool save();

    TDataModule6 &m_dm;
    TForm5 &m_workers;
    TForm4 &m_operations;
    // The operation of the entry being changed (0 for a new entry).
    qint64 m_changedOperation = 0;
    std::unique_ptr<Command> SmenaIU;
    double m_basePrice = 0;
};
