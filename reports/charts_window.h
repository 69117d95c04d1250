#pragma once

#include "designs/month_charts.h"
#include "designs/report_functions.h"
#include "output/prepared_report.h"

#include <QDate>
#include <QDialog>

#include <array>
#include <optional>

class QChart;
class QChartView;
class QPainter;
class QPushButton;
class QTabWidget;
class TDataModule6;

// "Графики": the period's output and piece pay by day and shift, the best-paid workers and the
// rejects by day, drawn as charts. Each chart is saved as PNG or PDF or printed through the report
// preview; a click on a day closes the window with that day chosen, for the shift log to show.
class ChartsWindow : public QDialog
{
    Q_OBJECT
public:
    enum Chart { DailyPieces = 0, DailyPay, Workers, Rejects };
    static constexpr int ChartCount = 4;
    // How many workers the workers' chart shows.
    static constexpr int WorkerCount = 20;

    explicit ChartsWindow(TDataModule6 &dm, QWidget *parent = nullptr);
    ~ChartsWindow() override;

    QTabWidget *Tabs;
    QPushButton *ButtonPng;
    QPushButton *ButtonPdf;
    QPushButton *ButtonPrint;
    QPushButton *ButtonClose;

    // Reads the period's figures (one statement per chart) and draws every chart.
    void draw(const QDate &from, const QDate &to, ProductKind kind);
    // The period and product kind of the charts drawn next; figures read before are dropped.
    void setPeriod(const QDate &from, const QDate &to, ProductKind kind);
    // Reads the figures the chart needs, unless read already for the period, and draws it.
    void drawChart(Chart which);
    // Draws the period and shows the window modally; the day the user clicked, or an invalid date
    // when the window was closed otherwise.
    QDate showPeriod(const QDate &from, const QDate &to, ProductKind kind);

    QChart &chart(Chart which) const;
    QChartView &view(Chart which) const;
    Chart current() const;
    // The chart's heading: what it shows, the period and the product kind.
    QString title(Chart which) const;

    // The day under a point of the chart's view (viewport coordinates); invalid outside the days
    // and on the workers' chart.
    QDate dayAt(Chart which, const QPoint &position) const;
    // Whether a click on a day chooses it: not for a role that may not move the shift log.
    void setDayLinks(bool on);
    // Closes the window with the day chosen.
    void chooseDay(const QDate &day);
    QDate chosenDay() const { return m_chosenDay; }

    // The text shown when the pointer rests on a bar or on the average line: the exact figures.
    QString tip(Chart which, int set, int index) const;

    // The chart as a picture file, twice the size shown; false when it cannot be written.
    bool savePng(Chart which, const QString &path) const;
    // The chart as a vector PDF page (A4 landscape) with its heading; false when it cannot be
    // written.
    bool savePdf(Chart which, const QString &path) const;
    // The chart as a page of the report preview.
    report::PreparedReport printable(Chart which) const;

    void ButtonPngClick();
    void ButtonPdfClick();
    void ButtonPrintClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void drawDaily(Chart which);
    void drawWorkers();
    void drawRejects();
    // The day axis under a chart over the period's days, and the days off shaded up to the top
    // of its value axis (added first).
    void addDayAxes(QChart &chart);
    QString fileName(Chart which, const QString &suffix) const;
    // Asks where to save; empty when the user cancels.
    QString askPath(Chart which, const QString &suffix, const QString &filter);
    // Asks where to save the shown chart and saves it there; says so when it cannot be written.
    using Saver = bool (ChartsWindow::*)(Chart, const QString &) const;
    void saveAs(const QString &suffix, const QString &filter, Saver save);
    // The chart, its title and legend included, scaled into the target with its proportions kept.
    void paint(Chart which, QPainter &painter, const QRectF &target) const;

    TDataModule6 &m_dm;
    std::array<QChartView *, ChartCount> m_views{};
    QDate m_from;
    QDate m_to;
    ProductKind m_kind = ProductKind::All;
    QVector<QDate> m_days;
    QVector<bool> m_daysOff;
    // The output and pay charts share their figures.
    std::optional<QVector<charts::DayOutput>> m_output;
    QVector<charts::WorkerPay> m_workers;
    QVector<charts::DayRejects> m_rejects;
    QDate m_chosenDay;
    bool m_dayLinks = true;
};
