#include "reports/charts_window.h"

#include "db/messages.h"
#include "db/number_format.h"
#include "output/preview.h"
#include "output/save_folder.h"
#include "ui/busy.h"
#include "ui/error_guard.h"
#include "ui/focused_button.h"
#include "ui/modal.h"
#include "ui/plain_text.h"
#include "ui/window_setup.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>
#include <memory>

namespace {

const char *const ShiftNames[charts::ShiftCount] = {"1 смена", "2 смена", "3 смена", "Переработка"};
// Calm, distinguishable colours that also print apart in grey.
const QColor ShiftColours[charts::ShiftCount] = {QColor(0x4e, 0x79, 0xa7), QColor(0xf2, 0x8e, 0x2b),
                                                 QColor(0x59, 0xa1, 0x4f),
                                                 QColor(0xb0, 0x7a, 0xa1)};
const QColor DayOffShade(0xe1, 0x57, 0x59, 50);
const QColor DayOffShadeOpaque(0xf8, 0xd8, 0xd8);
const QColor PayColour(0x4e, 0x79, 0xa7);
const QColor HoursColour(0xf2, 0x8e, 0x2b);
const QColor RejectColour(0xe1, 0x57, 0x59);
// The widest a worker's name may be in the workers chart, in pixels of its labels' font.
constexpr int WorkerNameWidth = 220;

QString money(double value)
{
    return numbers::format(value, QStringLiteral("#0.00"));
}

QString percent(double value)
{
    return numbers::format(value, QStringLiteral("#0.00")) + QStringLiteral(" %");
}

QString dayText(const QDate &day)
{
    return QLocale().toString(day, QStringLiteral("ddd dd.MM.yyyy"));
}

// A value axis from 0 over top with five or so round steps (1, 2 or 5 times a power of ten, never
// finer than the labels' decimals), so that no two labels read the same.
QValueAxis *valueAxis(const QString &title, double top, int decimals)
{
    const double finest = std::pow(10.0, -decimals);
    const double rough = qMax(top / 6, finest);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (const double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        // 2.5 only where its half-step is still a whole number of the labels' decimals.
        if (factor == 2.5 && power < 10 * finest)
            continue;
        step = factor * power;
        if (step >= rough)
            break;
    }
    step = qMax(step, finest);
    const int steps = qMax(1, int(std::ceil(top / step - 1e-9)));
    auto *axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
    axis->setRange(0, steps * step);
    axis->setTickCount(steps + 1);
    return axis;
}

// A chart as every chart here starts: Russian numbers with the decimal comma, no animation (the
// figures are what matters), the legend under the plot.
QChart *newChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    QFont font = chart->titleFont();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() + 1);
    chart->setTitleFont(font);
    chart->setLocale(QLocale());
    chart->setLocalizeNumbers(true);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    return chart;
}

void showTip(QChartView *view, bool on, const QString &text)
{
    if (on)
        QToolTip::showText(QCursor::pos(), plainToolTip(text), view);
    else
        QToolTip::hideText();
}

// The view takes the new chart and lets the old one go: it is deleted here.
void replaceChart(QChartView &view, QChart *chart)
{
    std::unique_ptr<QChart> old(view.chart());
    view.setChart(chart);
}

} // namespace

ChartsWindow::ChartsWindow(TDataModule6 &dm, QWidget *parent)
    : QDialog(parent)
    , Tabs(new QTabWidget(this))
    , ButtonPng(new QPushButton(QStringLiteral("Сохранить PNG…"), this))
    , ButtonPdf(new QPushButton(QStringLiteral("Сохранить PDF…"), this))
    , ButtonPrint(new QPushButton(QStringLiteral("Печать…"), this))
    , ButtonClose(new QPushButton(QStringLiteral("Закрыть"), this))
    , m_dm(dm)
{
    setObjectName(QStringLiteral("ChartsWindow"));
    setWindowTitle(QStringLiteral("Графики"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMaximizeButtonHint);
    Tabs->setObjectName(QStringLiteral("Tabs"));
    ButtonPng->setObjectName(QStringLiteral("ButtonPng"));
    ButtonPdf->setObjectName(QStringLiteral("ButtonPdf"));
    ButtonPrint->setObjectName(QStringLiteral("ButtonPrint"));
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    Tabs->setAccessibleName(QStringLiteral("Графики"));

    const QString tabs[ChartCount] = {QStringLiteral("Выпуск по дням"),
                                      QStringLiteral("Оплата по дням"), QStringLiteral("Рабочие"),
                                      QStringLiteral("Брак по дням")};
    const char *const names[ChartCount] = {"DailyPieces", "DailyPay", "Workers", "Rejects"};
    for (int i = 0; i < ChartCount; ++i) {
        auto *view = new QChartView(newChart(tabs[i]), Tabs);
        view->setObjectName(QLatin1String(names[i]));
        view->setAccessibleName(tabs[i]);
        view->setRenderHint(QPainter::Antialiasing);
        view->viewport()->installEventFilter(this);
        m_views[size_t(i)] = view;
        Tabs->addTab(view, tabs[i]);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *button : {ButtonPng, ButtonPdf, ButtonPrint, ButtonClose}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Tabs);
    layout->addLayout(buttons);
    resize(1100, 720);

    guard::connect(ButtonPng, &QPushButton::clicked, this, &ChartsWindow::ButtonPngClick);
    guard::connect(ButtonPdf, &QPushButton::clicked, this, &ChartsWindow::ButtonPdfClick);
    guard::connect(ButtonPrint, &QPushButton::clicked, this, &ChartsWindow::ButtonPrintClick);
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::reject);
    setDayLinks(true);
    enterPressesFocusedButton(*this);
    rememberGeometry(*this);
}

ChartsWindow::~ChartsWindow() = default;

QChart &ChartsWindow::chart(Chart which) const
{
    return *m_views.at(size_t(which))->chart();
}

QChartView &ChartsWindow::view(Chart which) const
{
    return *m_views.at(size_t(which));
}

ChartsWindow::Chart ChartsWindow::current() const
{
    return Chart(qBound(0, Tabs->currentIndex(), ChartCount - 1));
}

QString ChartsWindow::title(Chart which) const
{
    static const char *const subjects[ChartCount] = {
        "Выпуск годных изделий по дням, шт.,", "Сдельная оплата по дням, руб.,",
        "Лучшие рабочие по сдельной оплате", "Брак по дням, % от количества,"};
    QString text = reporting::periodTitle(
        QString::fromUtf8(subjects[which]) + QStringLiteral(" за период с "), m_from, m_to);
    if (m_kind == ProductKind::Finished)
        text += QStringLiteral(" (готовая продукция)");
    else if (m_kind == ProductKind::Blanks)
        text += QStringLiteral(" (заготовки)");
    return text;
}

void ChartsWindow::draw(const QDate &from, const QDate &to, ProductKind kind)
{
    BusyScope busy;
    setPeriod(from, to, kind);
    for (int which = 0; which < ChartCount; ++which)
        drawChart(Chart(which));
}

void ChartsWindow::setPeriod(const QDate &from, const QDate &to, ProductKind kind)
{
    m_from = from;
    m_to = to;
    m_kind = kind;
    m_days = charts::periodDays(from, to);
    m_daysOff = charts::daysOff(m_dm, from, to);
    m_output.reset();
}

void ChartsWindow::drawChart(Chart which)
{
    switch (which) {
    case DailyPieces:
    case DailyPay:
        if (!m_output)
            m_output = charts::dailyOutput(m_dm, m_from, m_to, m_kind);
        drawDaily(which);
        break;
    case Workers:
        m_workers = charts::topWorkers(m_dm, m_from, m_to, m_kind, WorkerCount);
        drawWorkers();
        break;
    case Rejects:
        m_rejects = charts::dailyRejects(m_dm, m_from, m_to, m_kind);
        drawRejects();
        break;
    }
}

QDate ChartsWindow::showPeriod(const QDate &from, const QDate &to, ProductKind kind)
{
    m_chosenDay = {};
    draw(from, to, kind);
    runModal(*this);
    return m_chosenDay;
}

void ChartsWindow::addDayAxes(QChart &chart)
{
    const int n = int(m_days.size());
    auto *x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setStartValue(-0.5);
    x->setRange(-0.5, qMax(0, n - 1) + 0.5);
    x->setGridLineVisible(false);
    x->setLabelsAngle(-90);
    // A label per day for a month; a longer period labels every few days so that none overlap.
    const int step = n <= 31 ? 1 : (n + 39) / 40;
    const QString format = n > 366 ? QStringLiteral("dd.MM.yy") : QStringLiteral("dd.MM");
    for (int i = 0; i < n; i += step)
        x->append(m_days.at(i).toString(format), i);
    chart.addAxis(x, Qt::AlignBottom);
    auto *y = static_cast<QValueAxis *>(chart.axes(Qt::Vertical).value(0));

    // Days off shaded behind the bars, from the axis' floor to its top, run by run.
    if (!m_daysOff.contains(true))
        return;
    auto *area = new QAreaSeries;
    auto *upper = new QLineSeries(area);
    for (int i = 0; i < n; ++i) {
        if (!m_daysOff.value(i))
            continue;
        int last = i;
        while (m_daysOff.value(last + 1))
            ++last;
        upper->append(i - 0.5, 0);
        upper->append(i - 0.5, y->max());
        upper->append(last + 0.5, y->max());
        upper->append(last + 0.5, 0);
        i = last;
    }
    area->setUpperSeries(upper);
    area->setName(QStringLiteral("Выходные дни"));
    area->setColor(DayOffShade);
    area->setBorderColor(DayOffShade);
    chart.addSeries(area);
    area->attachAxis(x);
    area->attachAxis(y);
    // The legend's square in the shade as it looks over the white plot, not see-through.
    for (QLegendMarker *marker : chart.legend()->markers(area)) {
        marker->setBrush(DayOffShadeOpaque);
        marker->setPen(QPen(DayOffShadeOpaque.darker(125)));
    }
}

void ChartsWindow::drawDaily(Chart which)
{
    const bool pay = which == DailyPay;
    QChart *chart = newChart(title(which));
    auto *series = new QStackedBarSeries;
    series->setBarWidth(0.8);
    double top = 0;
    for (int shift = 0; shift < charts::ShiftCount; ++shift) {
        auto *set = new QBarSet(QString::fromUtf8(ShiftNames[shift]));
        set->setColor(ShiftColours[shift]);
        set->setBorderColor(ShiftColours[shift].darker(115));
        for (const charts::DayOutput &day : std::as_const(*m_output))
            set->append(pay ? day.pay[size_t(shift)] : double(day.pieces[size_t(shift)]));
        series->append(set);
        connect(set, &QBarSet::hovered, this, [this, which, shift](bool on, int index) {
            showTip(&view(which), on, tip(which, shift, index));
        });
    }
    for (const charts::DayOutput &day : std::as_const(*m_output)) {
        double sum = 0;
        for (int shift = 0; shift < charts::ShiftCount; ++shift)
            sum += pay ? day.pay[size_t(shift)] : double(day.pieces[size_t(shift)]);
        top = qMax(top, sum);
    }
    auto *y = valueAxis(pay ? QStringLiteral("руб.") : QStringLiteral("шт."), top, 0);
    chart->addAxis(y, Qt::AlignLeft);
    addDayAxes(*chart);
    chart->addSeries(series);
    series->attachAxis(chart->axes(Qt::Horizontal).value(0));
    series->attachAxis(y);
    replaceChart(view(which), chart);
}

void ChartsWindow::drawWorkers()
{
    QChart *chart = newChart(title(Workers));
    const int n = int(m_workers.size());
    // Two series, which the chart sets side by side in each worker's row, so that pay and hours
    // each keep an axis of their own.
    auto *paySeries = new QHorizontalBarSeries;
    auto *hoursSeries = new QHorizontalBarSeries;
    auto *pay = new QBarSet(QStringLiteral("Сдельная оплата, руб."));
    auto *hours = new QBarSet(QStringLiteral("Часы"));
    pay->setColor(PayColour);
    hours->setColor(HoursColour);
    auto *names = new QBarCategoryAxis;
    double maxPay = 0;
    double maxHours = 0;
    // The categories run from the bottom up: the best-paid worker last, at the top.
    for (int i = n - 1; i >= 0; --i) {
        const charts::WorkerPay &worker = m_workers.at(i);
        // A long name is shortened so that the pay per hour after it is never cut off; the tip
        // over the bars names the worker in full.
        QString label = QFontMetrics(names->labelsFont())
                            .elidedText(worker.name, Qt::ElideRight, WorkerNameWidth)
                            .toHtmlEscaped(); // the chart draws its labels as rich text
        if (worker.hours > 0)
            label += QStringLiteral(" · ") + money(worker.perHour()) + QStringLiteral(" руб./ч");
        // Two workers of the same name stay two categories.
        while (names->categories().contains(label))
            label += QLatin1Char(' ');
        names->append(label);
        pay->append(worker.pay);
        hours->append(double(worker.hours));
        maxPay = qMax(maxPay, worker.pay);
        maxHours = qMax(maxHours, double(worker.hours));
    }
    paySeries->append(pay);
    hoursSeries->append(hours);
    paySeries->setBarWidth(0.85);
    hoursSeries->setBarWidth(0.85);
    connect(pay, &QBarSet::hovered, this,
            [this](bool on, int index) { showTip(&view(Workers), on, tip(Workers, 0, index)); });
    connect(hours, &QBarSet::hovered, this,
            [this](bool on, int index) { showTip(&view(Workers), on, tip(Workers, 1, index)); });

    auto *payAxis = valueAxis(QStringLiteral("Сдельная оплата, руб."), maxPay, 0);
    auto *hoursAxis = valueAxis(QStringLiteral("Часы"), maxHours, 0);
    payAxis->setLabelsColor(PayColour.darker(130));
    hoursAxis->setLabelsColor(HoursColour.darker(140));
    hoursAxis->setGridLineVisible(false);
    chart->addAxis(names, Qt::AlignLeft);
    chart->addAxis(payAxis, Qt::AlignBottom);
    chart->addAxis(hoursAxis, Qt::AlignTop);
    chart->addSeries(paySeries);
    chart->addSeries(hoursSeries);
    paySeries->attachAxis(names);
    paySeries->attachAxis(payAxis);
    hoursSeries->attachAxis(names);
    hoursSeries->attachAxis(hoursAxis);
    replaceChart(view(Workers), chart);
}

void ChartsWindow::drawRejects()
{
    QChart *chart = newChart(title(Rejects));
    auto *series = new QBarSeries;
    series->setBarWidth(0.8);
    auto *set = new QBarSet(QStringLiteral("Брак, % от количества"));
    set->setColor(RejectColour);
    double top = 0;
    for (const charts::DayRejects &day : std::as_const(m_rejects)) {
        set->append(day.percent());
        top = qMax(top, day.percent());
    }
    series->append(set);
    connect(set, &QBarSet::hovered, this,
            [this](bool on, int index) { showTip(&view(Rejects), on, tip(Rejects, 0, index)); });

    const double average = charts::periodRejectPercent(m_rejects);
    auto *line = new QLineSeries;
    line->setName(QStringLiteral("Среднее за период: ") + percent(average));
    QPen pen(QColor(0x33, 0x33, 0x33));
    pen.setWidthF(2);
    pen.setStyle(Qt::DashLine);
    line->setPen(pen);
    const int n = int(m_rejects.size());
    if (n > 0) {
        line->append(-0.5, average);
        line->append(n - 0.5, average);
    }
    connect(line, &QLineSeries::hovered, this,
            [this](const QPointF &, bool on) { showTip(&view(Rejects), on, tip(Rejects, 1, 0)); });

    auto *y = valueAxis(QStringLiteral("%"), top, 1);
    chart->addAxis(y, Qt::AlignLeft);
    addDayAxes(*chart);
    QAbstractAxis *x = chart->axes(Qt::Horizontal).value(0);
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    chart->addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
    replaceChart(view(Rejects), chart);
}

QString ChartsWindow::tip(Chart which, int set, int index) const
{
    switch (which) {
    case DailyPieces:
    case DailyPay: {
        if (!m_output || index < 0 || index >= m_output->size() || set < 0 ||
            set >= charts::ShiftCount)
            return {};
        const charts::DayOutput &day = m_output->at(index);
        const bool pay = which == DailyPay;
        const auto figure = [&](int shift) {
            return pay ? money(day.pay[size_t(shift)]) + QStringLiteral(" руб.")
                       : QString::number(day.pieces[size_t(shift)]) + QStringLiteral(" шт.");
        };
        double total = 0;
        for (int shift = 0; shift < charts::ShiftCount; ++shift)
            total += pay ? day.pay[size_t(shift)] : double(day.pieces[size_t(shift)]);
        return dayText(m_days.at(index)) + QLatin1Char('\n') + QString::fromUtf8(ShiftNames[set]) +
               QStringLiteral(": ") + figure(set) + QStringLiteral("\nЗа день: ") +
               (pay ? money(total) + QStringLiteral(" руб.")
                    : QString::number(qint64(total)) + QStringLiteral(" шт."));
    }
    case Workers: {
        // The categories run from the bottom up.
        const int worker = int(m_workers.size()) - 1 - index;
        if (worker < 0 || worker >= m_workers.size())
            return {};
        const charts::WorkerPay &w = m_workers.at(worker);
        QString text = w.name + QStringLiteral("\nСдельная оплата: ") + money(w.pay) +
                       QStringLiteral(" руб.\nЧасы: ") + QString::number(w.hours);
        if (w.hours > 0)
            text += QStringLiteral("\nЗа час: ") + money(w.perHour()) + QStringLiteral(" руб.");
        return text;
    }
    case Rejects: {
        if (set == 1) {
            charts::DayRejects total;
            for (const charts::DayRejects &day : m_rejects) {
                total.pieces += day.pieces;
                total.rejects += day.rejects;
            }
            return QStringLiteral("Среднее за период: ") + percent(total.percent()) +
                   QStringLiteral("\nБрак ") + QString::number(total.rejects) +
                   QStringLiteral(" из ") + QString::number(total.pieces) + QStringLiteral(" шт.");
        }
        if (index < 0 || index >= m_rejects.size())
            return {};
        const charts::DayRejects &day = m_rejects.at(index);
        return dayText(m_days.at(index)) + QStringLiteral("\nБрак: ") + percent(day.percent()) +
               QStringLiteral("\n") + QString::number(day.rejects) + QStringLiteral(" из ") +
               QString::number(day.pieces) + QStringLiteral(" шт.");
    }
    }
    return {};
}

QDate ChartsWindow::dayAt(Chart which, const QPoint &position) const
{
    if (which == Workers || m_days.isEmpty())
        return {};
    QChartView &v = view(which);
    QChart &c = chart(which);
    const QPointF inChart = c.mapFromScene(v.mapToScene(position));
    if (!c.plotArea().contains(inChart) || c.series().isEmpty())
        return {};
    const int index = qRound(c.mapToValue(inChart, c.series().last()).x());
    return index >= 0 && index < m_days.size() ? m_days.at(index) : QDate();
}

void ChartsWindow::setDayLinks(bool on)
{
    m_dayLinks = on;
    for (const Chart which : {DailyPieces, DailyPay, Rejects}) {
        if (on)
            view(which).viewport()->setCursor(Qt::PointingHandCursor);
        else
            view(which).viewport()->unsetCursor();
    }
}

void ChartsWindow::chooseDay(const QDate &day)
{
    m_chosenDay = day;
    accept();
}

bool ChartsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (m_dayLinks && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        for (int i = 0; i < ChartCount; ++i) {
            if (watched != m_views[size_t(i)]->viewport() || mouse->button() != Qt::LeftButton)
                continue;
            const QDate day = dayAt(Chart(i), mouse->position().toPoint());
            if (day.isValid()) {
                chooseDay(day);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ChartsWindow::paint(Chart which, QPainter &painter, const QRectF &target) const
{
    QChartView &v = view(which);
    v.scene()->render(&painter, target, chart(which).sceneBoundingRect(), Qt::KeepAspectRatio);
}

bool ChartsWindow::savePng(Chart which, const QString &path) const
{
    const QSizeF size = chart(which).size();
    constexpr int Scale = 2;
    QImage image(size.toSize() * Scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(Scale);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(which, painter, QRectF(QPointF(0, 0), size));
    }
    // Opened here so that a folder that cannot be written is a false, not a painter warning.
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.flush();
}

bool ChartsWindow::savePdf(Chart which, const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QPdfWriter writer(&file);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    writer.setResolution(300);
    writer.setTitle(title(which));
    writer.setCreator(QStringLiteral("tabel"));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect area = writer.pageLayout().paintRectPixels(writer.resolution());
    paint(which, painter, QRectF(0, 0, area.width(), area.height()));
    return painter.end() && file.flush();
}

report::PreparedReport ChartsWindow::printable(Chart which) const
{
    report::Layout layout;
    layout.orientation = QPageLayout::Landscape;
    report::PreparedReport prepared(layout, {});
    prepared.title = title(which);
    const QSizeF size = chart(which).size();
    report::PreparedReport::Op op;
    op.kind = report::PreparedReport::Op::Kind::Drawing;
    op.drawing = [this, which](QPainter &painter, const QRectF &target) {
        painter.setRenderHint(QPainter::Antialiasing);
        paint(which, painter, target);
    };
    // The chart as large as the printable area allows, its proportions kept.
    const QSizeF area = layout.printableSize();
    QSizeF fitted = size;
    fitted.scale(area, Qt::KeepAspectRatio);
    op.rect = QRectF(
        QPointF(layout.margins.left() + (area.width() - fitted.width()) / 2, layout.margins.top()),
        fitted);
    prepared.newPage().append(op);
    return prepared;
}

QString ChartsWindow::fileName(Chart which, const QString &suffix) const
{
    static const char *const names[ChartCount] = {"Выпуск по дням", "Оплата по дням",
                                                  "Лучшие рабочие", "Брак по дням"};
    const QString format = QStringLiteral("dd.MM.yyyy");
    return QStringLiteral("%1 %2-%3.%4")
        .arg(QString::fromUtf8(names[which]), m_from.toString(format), m_to.toString(format),
             suffix);
}

QString ChartsWindow::askPath(Chart which, const QString &suffix, const QString &filter)
{
    QFileDialog dialog(this, QStringLiteral("Сохранить график"),
                       QDir(savefolder::proposed()).filePath(fileName(which, suffix)), filter);
    dialog.setObjectName(QStringLiteral("SaveChart"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    if (runModal(dialog) != QDialog::Accepted)
        return {};
    const QString path = dialog.selectedFiles().value(0);
    savefolder::remember(path);
    return path;
}

void ChartsWindow::ButtonPngClick()
{
    saveAs(QStringLiteral("png"), QStringLiteral("Рисунок PNG (*.png)"), &ChartsWindow::savePng);
}

void ChartsWindow::ButtonPdfClick()
{
    saveAs(QStringLiteral("pdf"), QStringLiteral("Документ PDF (*.pdf)"), &ChartsWindow::savePdf);
}

void ChartsWindow::saveAs(const QString &suffix, const QString &filter, Saver save)
{
    const Chart which = current();
    const QString path = askPath(which, suffix, filter);
    if (path.isEmpty())
        return;
    BusyScope busy;
    if (!(this->*save)(which, path))
        messages::error(
            QStringLiteral("Ошибка"),
            QStringLiteral("Не удалось записать файл %1").arg(QDir::toNativeSeparators(path)));
}

void ChartsWindow::ButtonPrintClick()
{
    report::preview(printable(current()), this);
}
