#pragma once

#include "ui/modal.h"
#include "ui/roles.h"

#include <QDate>
#include <QDialog>

#include <array>
#include <memory>

class Command;
class Dataset;
class DataGrid;
class DayBoxWatch;
class EntryHistory;
class DatasetModel;
class LiveRefresh;
class QAction;
class QCheckBox;
class QDateEdit;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QTimer;
class TDataModule6;
class TForm11;
class VersionWatch;

// What the shift log's menu and its "Ср.сд./хоз. работы" button open.
enum class ShiftLogLink {
    Workers,
    Operations,
    Products,
    OperationKinds,
    NomenclatureGroups,
    ShiftTimesheet,
    PieceWorkTimesheet,
    HouseholdTimesheet,
    AveragePieceRateTimesheet,
    OverallTimesheet,
    SummaryReports,
    HourPaidEntries,
    ProductionCalendar,
};

// The windows the shift log opens. The program supplies them: the timesheets and the reports live
// above the shift log (their writes post hours through its code), and tests give the shift log
// only what they need.
class ShiftLogLinks
{
public:
    virtual ~ShiftLogLinks() = default;
    // Opens the window of the link for the day the shift log shows.
    virtual void open(ShiftLogLink link, const QDate &day, ActivationHandler *opener) = 0;
    // The entry editor of "Добавить" and "Изменить".
    virtual TForm11 &entryEditor() = 0;
};

// The daily shift log: the entries of one day and shift, acceptance, deletion, and the menu to
// every other window.
class TForm1 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    TForm1(TDataModule6 &dm, VersionWatch &versionWatch, ShiftLogLinks &links,
           QWidget *parent = nullptr);
    ~TForm1() override;

    QRadioButton *RadioButton1;
    QRadioButton *RadioButton2;
    QRadioButton *RadioButton3;
    QRadioButton *RadioButton4;
    QDateEdit *DateT;
    QCheckBox *CBox1;
    DataGrid *DBGrid2;
    QPushButton *Button1;
    QPushButton *Button2;
    QPushButton *Button3;
    QPushButton *Button8;
    QPushButton *Button5;
    QPushButton *Button4;
    QTimer *Timer1;
    // The change history of the selected entry (also in the grid's context menu).
    QPushButton *HistoryButton;
    QAction *HistoryAction;
    // Shown while the day listed lies in a closed month.
    QLabel *ClosedMark;

    QMenuBar *MainMenu;
    QMenu *N2;
    QAction *N1;
    QAction *N3;
    QAction *N4;
    QAction *N6;
    QAction *N8;
    QAction *CalendarItem; // "Производственный календарь"
    QMenu *N11;
    QAction *N9;
    QAction *N13;
    QAction *N14;
    QAction *N15;
    QAction *N17;
    QMenu *N7;
    QAction *N10;
    QAction *N5;

    // The shift data sources bound to the grid in turn.
    DatasetModel *DataSource1;
    DatasetModel *DataSource2;
    DatasetModel *DataSource3;
    DatasetModel *DataSource4;

    // Re-reads the day's lists when another copy changes its entries.
    LiveRefresh *Live;

    int ShiftNo = 0;
    QString LoginText;
    Dataset *CurrentShiftQuery = nullptr;
    int BuildDate = 0;
    int BuildTime = 0;

    // The role granted at login; restricts this window's commands.
    void applyRole(Role role);
    Role role() const { return m_role; }
    // The shift query of ShiftNo.
    Dataset &shiftQuery() const;

    void FormActivate() override;
    void DateTChange();
    void RadioButtonClick(int shift);
    void CBox1Click();
    void DBGrid2DblClick();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button8Click();
    void Button5Click();
    void Button4Click();
    void Timer1Timer();
    void HistoryClick();

    // Whether the day listed lies in a closed month: its entries are then shown only.
    bool dayClosed() const { return m_dayClosed; }

    void N1Click();
    void N3Click();
    void N4Click();
    void N6Click();
    void N8Click();
    void CalendarItemClick();
    void N13Click();
    void N10Click();
    void N9Click();
    void N14Click();
    void N15Click();
    void N17Click();

private:
    void buildMenu();
    void buildGrid();
    // Returns whether the day is a day off.
    bool openShiftQueries(const QDate &day);
    // Reads the four lists of the shown day again, each staying on its entry.
    void rereadShiftQueries();
    void showWeekendTick(const QDate &day);
    // Lists the day and ticks "Выходной" by its weekday, the focus staying where it is.
    void showDay(const QDate &day);
    void paintRadioButtons();
    void setDate(const QDate &day);
    // The shift and the day-off tick the entry editor prices with.
    void prepareEditor(TForm11 &editor) const;
    void standOnSaved(const TForm11 &editor);
    // The entry each of the four lists stands on (0: none).
    using ShownEntries = std::array<qint64, 4>;
    ShownEntries shownEntries() const;
    void standOn(const ShownEntries &entries);
    // Add, change and delete as the role and the closed month allow them.
    void enableCommands();

    TDataModule6 &m_dm;
    VersionWatch &m_versionWatch;
    ShiftLogLinks &m_links;
    std::unique_ptr<Command> updtOK;
    Role m_role = Role::None;
    QDate m_shownDate;
    DayBoxWatch *m_dayWatch = nullptr;
    EntryHistory *m_history = nullptr;
    bool m_dayClosed = false;
    // Add, change, delete: what the role allows.
    std::array<bool, 3> m_roleAllows{true, true, true};
};
