#pragma once

#include "designs/t13_form.h"

#include <QObject>

#include <optional>

class QPushButton;
class TDataModule6;
class TForm27;

// The month-end papers of the monthly timesheet window: the form T-13 of the month shown (preview
// and print, or a workbook) and the pay figures for payroll (workbook or CSV, full access only;
// a month not yet closed only after a question that says so), and the settings of both.
class MonthEndPapers : public QObject
{
    Q_OBJECT
public:
    MonthEndPapers(TDataModule6 &dm, TForm27 &window);

    QPushButton *T13Button;
    QPushButton *PayrollButton;

    void setAllowed(bool fullAccess);

    // The form of the month shown: the warnings first (workers without a personnel number,
    // working days left empty), then the preview. False when the user stopped at the warnings.
    bool printT13();
    bool exportT13();
    // The payroll export into the documents folder; false when the user said no or the file
    // could not be written. The CSV's path is returned through csvPath.
    bool exportPayroll(bool csv, QString *csvPath = nullptr);
    // The form's details (organisation, department, night shifts) and the indicators' codes and
    // captions, full access only; true when saved.
    bool editSettings();

private:
    bool warningsAccepted(const QString &warnings);
    // The month's form, read and its warnings accepted by the user; empty when not.
    std::optional<t13::Form> acceptedForm();

    TDataModule6 &m_dm;
    TForm27 &m_window;
};
