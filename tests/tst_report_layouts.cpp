#include "db/data_module.h"
#include "db/sql_text.h"
#include "designs/hours_table_design.h"
#include "designs/period_designs.h"
#include "designs/report_functions.h"
#include "output/data_source.h"
#include "output/preview.h"
#include "reports/hours_table_layout.h"
#include "reports/period_layouts.h"
#include "support/report_capture.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QMap>
#include <QPrinter>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

#include <memory>

using report::PreparedReport;

namespace {

const QDate YearFrom(2023, 1, 1);
const QDate YearTo(2024, 1, 1);
const QDate MonthTo(2023, 2, 1);

// A figure as the reports print it.
bool isFigure(const QString &text)
{
    static const QRegularExpression figure(QStringLiteral("^-?\\d+(,\\d+)?$"));
    return figure.match(text).hasMatch();
}

QString describe(const PreparedReport::Op &op)
{
    return QStringLiteral("\"%1\" at %2;%3 mm, %4 mm wide")
        .arg(op.text)
        .arg(op.rect.left(), 0, 'f', 1)
        .arg(op.rect.top(), 0, 'f', 1)
        .arg(op.rect.width(), 0, 'f', 1);
}

} // namespace

// Every printed layout over a shop with the largest figures a year brings: tens of thousands of
// rejects, hundreds of thousands of pieces, millions in pay, the longest names, hour-paid work
// every month. On paper every text fits where it is printed, every figure whole, nothing over
// anything else; pages prepared for the other orientation keep every line; a page range prints
// those pages only; groups are kept together over page breaks.
class TestReportLayouts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY(m_dir.isValid());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("report_layouts"));
        m_dm = m_db->connect();
        TDataModule6 &dm = *m_dm;
        const seed::SmallShop s = seed::smallShop(dm);
        QList<qint64> workers = {s.antonov, s.borisov, s.vasiliev};
        for (const char *name :
             {"Константинопольский-Преображенский Александр Владимирович", "Ким О.",
              "Ёлкина-Щербакова Евгения Эдуардовна", "Шевченко Ш.Ш.", "Юдин Ю.Ю."})
            workers << seed::worker(dm, QString::fromUtf8(name));
        QStringList ids;
        for (qint64 id : std::as_const(workers))
            ids << sql::integer(id);
        // Every working day of the year: each worker casts and paints lids and casts boxes.
        const struct
        {
            qint64 operation;
            qint64 product;
            int color;
            const char *price;
        } lines[] = {{s.castLid, s.lid, 0, "12.345"},
                     {s.paintLid, s.lid, 1012, "7.125"},
                     {s.castBox, s.box, 1, "3.335"}};
        for (const auto &line : lines) {
            TestDatabase::exec(
                dm, QStringLiteral(
                        "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, "
                        "data, smena, color, time, ok, vvod, prize, id_doc, id_doc_item, "
                        "f_gds_qty_use, id_gds_use, id_cons_use) "
                        "select w, %1, %2, %3, 3000 + w % 7, 45, d, 1, %4, 11, 'ok', now(), 5, "
                        "0, 0, 0, 0, 0 from unnest(array[%5]) w, generate_series(date "
                        "'2023-01-01', date '2023-12-31', interval '1 day') d "
                        "where extract(isodow from d) < 6")
                        .arg(sql::integer(line.product), sql::integer(line.operation),
                             QLatin1String(line.price), sql::integer(line.color),
                             ids.join(QLatin1Char(','))));
        }
        // Hour-paid work every month, day and night, of both kinds.
        TestDatabase::exec(
            dm, QStringLiteral(
                    "insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, "
                    "i_smena, cnt, price, i_holiday, i_night) "
                    "select case when k = 7777 then %1 else %2 end, k, w, d, "
                    "extract(month from d), 2023, 1, 176, 987.655, 0, n "
                    "from unnest(array[%3]) w, unnest(array[7777, 7778]) k, "
                    "unnest(array[0, 1]) n, generate_series(date '2023-01-02', date "
                    "'2023-12-02', interval '1 month') d")
                    .arg(sql::integer(s.lids), sql::integer(s.boxes), ids.join(QLatin1Char(','))));
        for (qint64 worker : std::as_const(workers)) {
            seed::monthRow(dm, worker, 1, 2023, 1,
                           {{1, 12}, {2, 12}, {3, 12}, {9, 11}, {10, 12}, {30, 12}, {31, 12}});
            seed::monthRow(dm, worker, 1, 2023, 2, {{1, 12}, {4, 8}});
        }
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }

    void everyTextFits_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QDate>("to");
        for (int layout : {16, 17, 20, 21}) {
            QTest::addRow("%d month", layout) << layout << MonthTo;
            QTest::addRow("%d year", layout) << layout << YearTo;
        }
        QTest::addRow("hours table") << 15 << MonthTo;
    }
    void everyTextFits()
    {
        QFETCH(int, layout);
        QFETCH(QDate, to);
        const PreparedReport pages = prepare(layout, to);
        const QRectF paper = pages.pageLayout().fullRectPoints();
        const double paperWidth = paper.width() * 25.4 / 72;
        int figures = 0;
        for (int p = 0; p < pages.pageCount(); ++p) {
            QVector<QPair<QRectF, const PreparedReport::Op *>> boxes;
            for (const PreparedReport::Op &op : pages.pages().at(p)) {
                if (op.kind != PreparedReport::Op::Kind::Text || op.text.isEmpty())
                    continue;
                const QRectF box = pages.textBox(op);
                QVERIFY2(box.left() >= op.rect.left() - 0.01 &&
                             box.right() <= op.rect.right() + 0.01,
                         qPrintable(QStringLiteral("page %1: %2 needs %3 mm")
                                        .arg(p + 1)
                                        .arg(describe(op))
                                        .arg(box.width(), 0, 'f', 2)));
                QVERIFY2(box.left() >= 0 && box.right() <= paperWidth, qPrintable(describe(op)));
                if (isFigure(op.text))
                    ++figures;
                for (const auto &other : std::as_const(boxes)) {
                    const QRectF common = box.intersected(other.first);
                    QVERIFY2(common.width() < 0.05 || common.height() < 0.05,
                             qPrintable(QStringLiteral("page %1: %2 over %3")
                                            .arg(p + 1)
                                            .arg(describe(op), describe(*other.second))));
                }
                boxes.append({box, &op});
            }
        }
        QVERIFY(figures > 10);
    }

    // A year's totals run to eight and nine digits (the pay of the whole shop, its pieces): their
    // fields are wide enough that they keep the size of the same fields in a month's report, and
    // no figure comes up to the frame of its band.
    void largeTotalsKeepTheirSize_data()
    {
        QTest::addColumn<int>("layout");
        for (int layout : {16, 17, 20, 21})
            QTest::addRow("%d", layout) << layout;
    }
    void largeTotalsKeepTheirSize()
    {
        QFETCH(int, layout);
        const auto figureSizes = [](const PreparedReport &pages, qsizetype *longest = nullptr) {
            QSet<QString> sizes;
            for (const auto &page : pages.pages())
                for (const PreparedReport::Op &op : page)
                    if (op.kind == PreparedReport::Op::Kind::Text && isFigure(op.text)) {
                        const report::FontSpec &font = pages.fonts().at(op.font);
                        sizes << QStringLiteral("%1 pt%2").arg(font.size).arg(
                            font.bold.value_or(false) ? QStringLiteral(" bold") : QString());
                        if (longest && op.text.size() > *longest)
                            *longest = op.text.size();
                    }
            return sizes;
        };
        const PreparedReport month = prepare(layout, MonthTo);
        const PreparedReport year = prepare(layout, YearTo);
        qsizetype longest = 0;
        const QSet<QString> yearSizes = figureSizes(year, &longest);
        QVERIFY2(longest >= 8, "the fixture's year brings figures of eight digits and more");
        const QSet<QString> stepped = yearSizes - figureSizes(month);
        QVERIFY2(
            stepped.isEmpty(),
            qPrintable(QStringList(stepped.cbegin(), stepped.cend()).join(QStringLiteral(", "))));

        const QMarginsF margins = year.pageLayout().margins(QPageLayout::Millimeter);
        const double right =
            year.pageLayout().fullRect(QPageLayout::Millimeter).width() - margins.right();
        for (const auto &page : year.pages())
            for (const PreparedReport::Op &op : page)
                if (op.kind == PreparedReport::Op::Kind::Text && isFigure(op.text)) {
                    const QRectF box = year.textBox(op);
                    QVERIFY2(box.left() >= margins.left() + 0.5 && box.right() <= right - 0.5,
                             qPrintable(describe(op)));
                }
    }

    // The product kind of the detailed product report stands on its line like the other fields
    // of the line: the same font, the same top, whole.
    void kindOnItsLine()
    {
        const PreparedReport pages = prepare(21, MonthTo);
        int kinds = 0;
        for (const auto &page : pages.pages()) {
            for (const PreparedReport::Op &kind : page) {
                if (kind.kind != PreparedReport::Op::Kind::Text ||
                    (kind.text != QStringLiteral("Готовая продукция") &&
                     kind.text != QStringLiteral("Заготовки")))
                    continue;
                ++kinds;
                const auto sameLine = [&](const PreparedReport::Op &other) {
                    return &other != &kind && other.kind == PreparedReport::Op::Kind::Text &&
                           !other.text.isEmpty() &&
                           qAbs(other.rect.top() - kind.rect.top()) < 0.01 &&
                           pages.fonts().at(other.font).size == pages.fonts().at(kind.font).size;
                };
                QVERIFY2(std::count_if(page.cbegin(), page.cend(), sameLine) >= 5,
                         qPrintable(describe(kind)));
                const QRectF box = pages.textBox(kind);
                QVERIFY2(box.right() <= kind.rect.right() + 0.01, qPrintable(describe(kind)));
            }
        }
        QVERIFY(kinds > 0);
    }

    // A change to landscape in the preview prepares the pages again: every line still printed,
    // within the paper, the columns spread over its width, and the pages numbered 1, 2, … in
    // order at their right.
    void otherOrientationKeepsEveryLine_data()
    {
        QTest::addColumn<int>("layout");
        for (int layout : {16, 17, 20, 21})
            QTest::addRow("%d", layout) << layout;
    }
    void otherOrientationKeepsEveryLine()
    {
        QFETCH(int, layout);
        std::unique_ptr<PeriodLayout> holder = makeLayout(layout);
        const PreparedReport portrait = holder->prepare(YearFrom, YearTo, ProductKind::All);
        QPrinter printer;
        portrait.setUp(printer);
        printer.setPageOrientation(QPageLayout::Landscape);
        const PreparedReport landscape =
            report::pagesFor(printer, portrait, [&](const QPageLayout &paper) {
                return holder->QuickRep1.prepare(
                    report::DatasetSource(holder->query(), holder->queryName()), paper);
            });
        holder->query().close();
        QCOMPARE(landscape.pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
        QVERIFY(landscape.pageCount() >= portrait.pageCount());

        const double footer = holder->QuickRep1.layout().pageFooter->height;
        const auto lines = [&](const PreparedReport &pages) {
            QMap<QString, int> counted;
            const QSizeF paper = pages.pageLayout().fullRect(QPageLayout::Millimeter).size();
            const double bottom = paper.height() - pages.pageLayout().margins().bottom();
            for (int p = 0; p < pages.pageCount(); ++p) {
                // A worker's header repeated where his lines continue is no line of its own.
                QList<double> repeated;
                for (const PreparedReport::Op &op : pages.pages().at(p))
                    if (op.kind == PreparedReport::Op::Kind::Text &&
                        op.text.contains(layouts::Continued))
                        repeated << op.rect.top();
                for (const PreparedReport::Op &op : pages.pages().at(p)) {
                    if (op.kind != PreparedReport::Op::Kind::Text || op.text.isEmpty())
                        continue;
                    if (std::any_of(repeated.cbegin(), repeated.cend(),
                                    [&](double top) { return qAbs(op.rect.top() - top) < 2; }))
                        continue;
                    if (op.rect.bottom() > bottom + 0.01)
                        counted[QStringLiteral("<below the page's bottom>")] += 1;
                    if (op.rect.top() >= bottom - footer - 0.01) {
                        // The page number.
                        if (op.text != QString::number(p + 1))
                            counted
                                [QStringLiteral("<page %1 numbered %2>").arg(p + 1).arg(op.text)] +=
                                1;
                    } else if (!op.text.contains(layouts::Continued))
                        counted[op.text] += 1;
                }
            }
            return counted;
        };
        QCOMPARE(lines(landscape), lines(portrait));

        // The columns spread over the wider paper and each page's number stands at its right.
        const QMarginsF margins = landscape.pageLayout().margins(QPageLayout::Millimeter);
        const QSizeF paper = landscape.pageLayout().fullRect(QPageLayout::Millimeter).size();
        const double right = paper.width() - margins.right();
        const double bottom = paper.height() - margins.bottom();
        double rightmost = 0;
        for (int p = 0; p < landscape.pageCount(); ++p) {
            int numbers = 0;
            for (const PreparedReport::Op &op : landscape.pages().at(p)) {
                if (op.kind != PreparedReport::Op::Kind::Text || op.text.isEmpty())
                    continue;
                rightmost = std::max(rightmost, op.rect.right());
                if (op.rect.top() >= bottom - footer - 0.01) {
                    ++numbers;
                    QVERIFY2(op.rect.left() > right - 30, qPrintable(describe(op)));
                }
            }
            QCOMPARE(numbers, 1);
        }
        QVERIFY2(rightmost > right - 10, qPrintable(QString::number(rightmost)));
    }

    // The print dialog's page range: those pages and no others.
    void pageRange_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("2 to 3") << 2 << 3 << QStringList{"2", "3"};
        QTest::newRow("first") << 1 << 1 << QStringList{"1"};
        QTest::newRow("past the end") << 3 << 99 << QStringList{"3"};
    }
    void pageRange()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QStringList, numbers);
        std::unique_ptr<PeriodLayout> holder = makeLayout(20);
        const PreparedReport pages = holder->prepare(YearFrom, YearTo, ProductKind::All);
        holder->query().close();
        QCOMPARE(pages.pageCount(), 3);
        const QString path = m_dir.filePath(QStringLiteral("range.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        pages.setUp(printer);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(from, to);
        QVERIFY(pages.paint(printer));
        QCOMPARE(pdf::pageCount(path), int(numbers.size()));
        // The page number stands at the bottom right of every page.
        QStringList printed;
        for (const pdf::Word &word : pdf::words(path))
            if (pdf::mm(word.yMin) > 280 && pdf::mm(word.xMin) > 180)
                printed << word.text;
        QCOMPARE(printed, numbers);
    }

    // The hours table shades the title and the cells of each day off of the production calendar
    // (January's holidays with its weekends), and of no other day.
    void hoursTableShadesDaysOff()
    {
        TForm15 hours(*m_dm);
        const PreparedReport pages = hours.prepare(1, 2023, reporting::monthTitle(1, 2023));
        hours.H_Tabel.close();
        QVERIFY(pages.pageCount() > 0);
        const QVector<double> &cells = reporting::hoursDayCells();
        const double margin = 10;
        QMap<int, int> fills; // day -> shaded boxes on the first page
        for (const PreparedReport::Op &op : pages.pages().first()) {
            if (op.kind != PreparedReport::Op::Kind::Fill || op.color != QColor(225, 225, 225))
                continue;
            const auto at = std::find_if(cells.cbegin(), cells.cend(), [&](double left) {
                return std::abs(op.rect.left() - margin - left) < 0.5;
            });
            QVERIFY2(at != cells.cend(), qPrintable(describe(op)));
            ++fills[int(at - cells.cbegin()) + 1];
        }
        QCOMPARE(fills.keys(), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 14, 15, 21, 22, 28, 29}));
        // The title and every line of the page.
        const QList<int> counts = fills.values();
        QVERIFY(counts.first() > 1);
        QCOMPARE(counts.count(counts.first()), counts.size());
    }

    // Read back with positions: no page ends with a worker's header, none starts with his summary;
    // a page where a worker's lines go on starts with his name marked as continued.
    void keptTogether_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QDate>("to");
        QTest::newRow("detailed by workers, a year") << 20 << YearTo;
        QTest::newRow("detailed by workers, a month") << 20 << MonthTo;
        QTest::newRow("by workers, a year") << 16 << YearTo;
    }
    void keptTogether()
    {
        QFETCH(int, layout);
        QFETCH(QDate, to);
        std::unique_ptr<PeriodLayout> holder = makeLayout(layout);
        const PreparedReport pages = holder->prepare(YearFrom, to, ProductKind::All);
        holder->query().close();
        const QString path = m_dir.filePath(QStringLiteral("kept.pdf"));
        pages.writePdf(path);
        QVERIFY(pdf::pageCount(path) > 1);

        // The lines of each page from top to bottom, the page number left out.
        QMap<int, QMap<int, QStringList>> pageLines;
        for (const pdf::Word &word : pdf::words(path))
            if (pdf::mm(word.yMin) < 280)
                pageLines[word.page][qRound(word.yMin)] << word.text;
        // A worker's header carries his name first and, in the detailed report, "Часы … Сумма".
        const auto isHeader = [&](const QStringList &line) {
            return layout == 20 ? line.contains(QStringLiteral("Количество"))
                                : line.contains(QStringLiteral("Р/К"));
        };
        const auto isGroupHeader = [&](const QStringList &line) {
            return isHeader(line) || (layout == 16 && line.size() == 1 &&
                                      (line.first() == QStringLiteral("Крышки") ||
                                       line.first() == QStringLiteral("Ящики")));
        };
        int continued = 0;
        for (auto page = pageLines.cbegin(); page != pageLines.cend(); ++page) {
            const QList<QStringList> lines = page.value().values();
            QVERIFY(!lines.isEmpty());
            QStringList ends;
            for (const QStringList &line : lines.mid(0, 2) + lines.mid(lines.size() - 2))
                ends << line.join(QLatin1Char(' '));
            const QString where =
                QStringLiteral("page %1: %2").arg(page.key()).arg(ends.join(QStringLiteral(" / ")));
            QVERIFY2(!isGroupHeader(lines.last()), qPrintable(where));
            if (page.key() > 1) {
                QVERIFY2(isHeader(lines.first()), qPrintable(where));
                if (lines.first().contains(layouts::Continued))
                    ++continued;
            }
        }
        if (layout == 20 && to == YearTo)
            QVERIFY(continued > 0);
    }

private:
    std::unique_ptr<PeriodLayout> makeLayout(int layout)
    {
        switch (layout) {
        case 16:
            return std::make_unique<TForm16>(*m_dm);
        case 17:
            return std::make_unique<TForm17>(*m_dm);
        case 20:
            return std::make_unique<TForm20>(*m_dm);
        default:
            return std::make_unique<TForm21>(*m_dm);
        }
    }

    PreparedReport prepare(int layout, const QDate &to)
    {
        if (layout == 15) {
            TForm15 hours(*m_dm);
            PreparedReport pages = hours.prepare(1, 2023, reporting::monthTitle(1, 2023));
            hours.H_Tabel.close();
            return pages;
        }
        std::unique_ptr<PeriodLayout> holder = makeLayout(layout);
        PreparedReport pages = holder->prepare(YearFrom, to, ProductKind::All);
        holder->query().close();
        return pages;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
};

TABEL_TEST_MAIN(TestReportLayouts)
#include "tst_report_layouts.moc"
