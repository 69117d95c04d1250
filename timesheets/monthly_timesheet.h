#pragma once

#include "db/month_days.h"
#include "ui/modal.h"
#include "ui/roles.h"

#include <QDialog>

#include <memory>

class AbsenceMarks;
class DataGrid;
class Dataset;
class DatasetModel;
class LiveRefresh;
class LookupCombo;
class MonthEndPapers;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class TDataModule6;

// The monthly timesheet: one row per worker (per day/night flag for hour-paid work) with his
// hours per day and the month's hour and money totals, in one of four modes: piece-work (9),
// household works (14), average piece rate (15) or overall (17). Also rebuilds the month's
// hour-paid rows from the entries and exports the timesheet shown.
class TForm27 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    // Mode values (Tag).
    static constexpr int PieceWork = 9;
    static constexpr int HouseholdWorks = 14;
    static constexpr int AveragePieceRate = 15;
    static constexpr int Overall = 17;

    // Grid columns by position.
    static constexpr int NameColumn = 0;
    static constexpr int NightColumn = 1;
    static constexpr int FirstDayColumn = 2; // day d is column d + 1
    static constexpr int MoneyColumn = 33;
    static constexpr int HoursColumn = 34;
    static constexpr int HourPriceColumn = 35;

    explicit TForm27(TDataModule6 &dm, QWidget *parent = nullptr);
    ~TForm27() override;

    DataGrid *DBGrid;
    QComboBox *ComboBox1;
    LookupCombo *cb_year;
    QPushButton *Button5;
    QPushButton *Button3;
    QProgressBar *PB;
    QPushButton *Button2;
    QLabel *Label1;
    QLabel *DBText1;
    QLabel *Label2;
    QLabel *DBText2;
    QLabel *Label3;
    QLabel *DBText3;
    QLabel *Label4;
    QLabel *DBText4;
    QPushButton *Button1;
    // Close the month shown for changes, or open it again (the full-access role only).
    QPushButton *CloseMonth;
    QPushButton *OpenMonth;

    // The grid queries of the modes.
    Dataset *H_Tabel0;
    Dataset *H_Tabel7777;
    Dataset *H_Tabel7778;
    Dataset *H_Tabel_all;
    // The years of the monthly rows, and always the current year.
    Dataset *q_year;
    // Money of the month: all of it, piece-work, household works, average piece rate.
    Dataset *all_price;
    Dataset *price;
    Dataset *price7;
    Dataset *price8;

    int Tag = PieceWork;
    // Re-reads the month when another copy changes its entries or monthly rows.
    LiveRefresh *Live = nullptr;
    // The absences marked in the day cells, and the month-end papers (form T-13, payroll).
    AbsenceMarks *Absences = nullptr;
    MonthEndPapers *Papers = nullptr;

    // The main menu's timesheet items: the mode (9, 14, 15 or 17), today's month and year, shown
    // modally; afterwards the columns are put back and the mode's query is closed.
    void showMode(int tag, ActivationHandler *opener);

    // Makes a mode current: caption, grid query, name column width and the optional columns.
    void setMode(int tag);
    // Selects a month and year and loads it. A year missing from the year list leaves the box
    // empty; the month is loaded for that year all the same.
    void selectMonth(int month, int year);
    // The grid query of the current mode.
    Dataset &currentQuery() const;
    // The selected month (1..12) and the year the month is loaded for.
    int month() const;
    int year() const;

    void FormActivate() override;
    void FormClose();
    void ComboBox1Change();
    // The month's money under the grid.
    void loadFooter();
    void Button5Click();
    void Button3Click();
    void Button2Click();
    void CloseMonthClick();
    void OpenMonthClick();

    // The role granted at login: only full access closes and opens months.
    void applyRole(Role role);

    static QStringList pieceWorkQueryText();
    static QStringList hourPaidQueryText(int kind);
    static QStringList overallQueryText();

public Q_SLOTS:
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Mode;
    static const Mode &modeOf(int tag);
    DatasetModel *modelOf(int tag) const;
    void bindGrid();
    void layoutColumns();
    void loadYears();
    void rereadMonth();
    QVariant cellStyle(int recNo, const QString &field, int role) const;
    // Reads whether the month shown is closed: the caption and the close and open commands.
    void showMonthState();
    void showMonthState(bool closed);
    // The footer's four sums, with the month's bounds set, to open alone or with the month.
    QList<Dataset *> footerQueries();
    void showFooter();

    TDataModule6 &m_dm;
    std::unique_ptr<MonthDays> m_days;
    DatasetModel *m_models[4] = {};
    // The name column's width with every day column shown, and which optional columns show.
    int m_nameWidth = 208;
    bool m_showNight = true;
    bool m_showHourPrice = true;
    Role m_role = Role::None;
    bool m_closed = false;
};
