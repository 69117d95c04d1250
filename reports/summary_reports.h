#pragma once

#include "db/dataset.h"
#include "output/xlsx_export.h"
#include "reports/layout_holder.h"
#include "ui/roles.h"

#include <QDate>
#include <QDialog>
#include <QGroupBox>

#include <memory>

class ActivationHandler;
class ChartsWindow;
class PeriodLayout;
class QButtonGroup;
class QDateEdit;
class QPushButton;
class QRadioButton;
class TDataModule6;
class TForm16;
class TForm17;
class TForm20;
class TForm21;

// A titled group of radio buttons, one chosen, known by its item number.
class RadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    RadioGroup(const QString &title, const QStringList &items, QWidget *parent = nullptr);
    int itemIndex() const;
    void setItemIndex(int index);
    QRadioButton *item(int index) const;

private:
    QButtonGroup *m_buttons;
};

// "Отчеты (8)": the period summaries of the shift entries by worker and by product, printed
// through the period layouts, and the product summary exported to a spreadsheet.
class TForm18 : public QDialog
{
    Q_OBJECT
public:
    // The window prints through the four period layouts.
    TForm18(TDataModule6 &dm, TForm16 &workers, TForm17 &products, TForm20 &workersDetailed,
            TForm21 &productsDetailed, QWidget *parent = nullptr);
    ~TForm18() override;

    RadioGroup *RadioGroup1;
    QGroupBox *GroupBox1;
    QDateEdit *DTPicker1;
    QDateEdit *DTPicker2;
    QPushButton *Button4;
    QPushButton *Button2;
    QPushButton *Button1;
    QPushButton *Button3;
    // "Графики": the charts of the period and product kind chosen here.
    QPushButton *Button7;
    QPushButton *Button6;
    QPushButton *Button5;
    // The product summary of the export (reporting::productSummaryText); parameters data1 ("с")
    // and data2 ("по").
    Dataset XLS_Rep;

    // The access role: the planning role and full access keep everything; the foremen and
    // warehouse roles lose the reports by worker, the product report and the export; the
    // warehouse role is also held to finished products; the planning role's charts lead to no
    // day of the shift log.
    void applyRole(Role role);
    // The main menu's "Сводные отчеты": the previous calendar month as of today, then the dialog
    // modally. The day clicked in the charts (the dialog closes with them), for the shift log to
    // show; an invalid date otherwise.
    QDate showFromMenu(ActivationHandler *opener);
    // "с" the first day of the month before today's, "по" the first day of today's month.
    void setPreviousMonth(const QDate &today);
    ProductKind productKind() const;

    void Button4Click();
    void Button2Click();
    void Button1Click();
    void Button3Click();
    void Button7Click();
    void Button6Click();
    void Button5Click();

private:
    void printReport(PeriodLayout &layout);

    TDataModule6 &m_dm;
    TForm16 &m_workers;
    TForm17 &m_products;
    TForm20 &m_workersDetailed;
    TForm21 &m_productsDetailed;
    // The spreadsheet of this window, for the whole run.
    XlsxExport m_excel;
    std::unique_ptr<ChartsWindow> m_charts;
    QDate m_chosenDay;
};
