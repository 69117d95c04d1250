#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TDataModule6;

// What the month-end papers print and how they count (full access): the organisation, its OKPO
// code and the department of the form T-13, which shifts are night work, and the codes and
// captions the payroll program knows the indicators by.
class MonthEndSettings : public QDialog
{
    Q_OBJECT
public:
    explicit MonthEndSettings(TDataModule6 &dm, QWidget *parent = nullptr);

    QLineEdit *Organisation;
    QLineEdit *Okpo;
    QLineEdit *Department;
    QLineEdit *NightShifts;
    QCheckBox *NightHourPaid;
    // Indicator (read only), code, caption.
    QTableWidget *Indicators;
    QPushButton *SaveButton;
    QPushButton *CancelButton;

    // Reads the settings and indicators as stored.
    void load();
    // Stores them in one transaction; false (with a message) when a code or caption is empty or
    // the night shifts are not shift numbers.
    bool save();

private:
    TDataModule6 &m_dm;
};
