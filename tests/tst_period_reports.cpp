#include "db/data_module.h"
#include "designs/hours_table_design.h"
#include "designs/report_functions.h"
#include "reports/hours_table_layout.h"
#include "reports/period_layouts.h"
#include "support/report_capture.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDate From(2024, 2, 1);
const QDate To(2024, 3, 1);

QString joined(const QStringList &lines)
{
    return QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

} // namespace

// The five printed layouts over the small shop, with entries whose totals were worked out by
// hand: what the PDF of each report says (groups, lines, totals, the figures without the raise
// coefficient, the colour texts), the period's end day left out and its start day counted, the
// product kind filter, an empty period, and the monthly hours table.
//
// The entries, shift 1, all accepted (* = outside the period of February 2024):
//   Антонов: КР-1 белая Литьё 01.02 8 h 100 pcs 4 rejects at 1.5; Покраска colour 3 10.02 4 h
//            50 pcs at 2; Покраска colour 1 11.02 2 h 20 pcs 2 rejects at 2; ЯЩ-2 Литьё 12.02
//            6 h 30 pcs at 3.
//   Борисов: КР-1 белая Литьё 29.02 8 h 40 pcs at 1.5; *01.03 1000 pcs; *ЯЩ-2 31.01.
//   Васильев: ЯЩ-2 Литьё 15.02 0 h 10 pcs 1 reject at 3.
//   Hour-paid: Антонов household works (day) Крышки 05.02 8 h at 150 = 1200, average piece rate
//   (night) Ящики 06.02 4 h at 200 = 800, *household 01.03; Борисов household (night) Ящики 07.02
//   2 h at 150 = 300; Васильев average piece rate (day) Ящики 01.02 3 h at 200 = 600.
class TestPeriodReports : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY(m_dir.isValid());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("period_reports"));
        m_dm = m_db->connect();
        TDataModule6 &dm = *m_dm;
        m_shop = seed::smallShop(dm);
        const seed::SmallShop &s = m_shop;
        const auto entry = [&](qint64 worker, qint64 product, qint64 operation, QDate day,
                               int hours, int pieces, int rejects, double price, int color) {
            seed::entry(dm, {worker, product, operation, day, 1, hours, pieces, rejects, price,
                             QStringLiteral("ok"), color});
        };
        entry(s.antonov, s.lid, s.castLid, QDate(2024, 2, 1), 8, 100, 4, 1.5, 0);
        entry(s.antonov, s.lid, s.paintLid, QDate(2024, 2, 10), 4, 50, 0, 2, 3);
        entry(s.antonov, s.lid, s.paintLid, QDate(2024, 2, 11), 2, 20, 2, 2, 1);
        entry(s.antonov, s.box, s.castBox, QDate(2024, 2, 12), 6, 30, 0, 3, 0);
        entry(s.borisov, s.lid, s.castLid, QDate(2024, 2, 29), 8, 40, 0, 1.5, 0);
        entry(s.borisov, s.lid, s.castLid, QDate(2024, 3, 1), 8, 1000, 0, 1.5, 0);
        entry(s.borisov, s.box, s.castBox, QDate(2024, 1, 31), 8, 1000, 0, 3, 0);
        entry(s.vasiliev, s.box, s.castBox, QDate(2024, 2, 15), 0, 10, 1, 3, 0);
        seed::hourPaid(dm, s.antonov, s.lids, 7777, QDate(2024, 2, 5), 8, 150, false);
        seed::hourPaid(dm, s.antonov, s.boxes, 7778, QDate(2024, 2, 6), 4, 200, true);
        seed::hourPaid(dm, s.antonov, s.lids, 7777, QDate(2024, 3, 1), 8, 150, false);
        seed::hourPaid(dm, s.borisov, s.boxes, 7777, QDate(2024, 2, 7), 2, 150, true);
        seed::hourPaid(dm, s.vasiliev, s.boxes, 7778, QDate(2024, 2, 1), 3, 200, false);
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }

    // By workers, every product kind: a worker header, a group header per nomenclature group with
    // its lines, the group's figures with its household works, the worker's totals with all his
    // hour-paid work, and the grand total with the period's hour-paid totals; "без Р/К" is the
    // amount divided by 1.2.
    void byWorkers()
    {
        const QStringList lines = print<TForm16>(ProductKind::All);
        QStringList expected = {
            QStringLiteral("Отчет по рабочим за период с 01.02.2024 по 01.03.2024"),
            QStringLiteral("Антонов А.А. Сумма без Р/К"),
            QStringLiteral("Крышки"),
            QStringLiteral("Готовая продукция Литьё 96 144,000"),
            QStringLiteral("Готовая продукция Покраска (грунт) 18 36,000"),
            QStringLiteral("Готовая продукция Покраска (RAL: 3) 50 100,000"),
            QStringLiteral("Хоз.р.: 1200 Ср. сд.: 0 164 280,000 233,333"),
            QStringLiteral("Итого: 1480,000 1233,333"),
            QStringLiteral("Ящики"),
            QStringLiteral("Заготовки Литьё 30 90,000"),
            QStringLiteral("Хоз.р.: 0 Ср. сд.: 800 30 90,000 75,000"),
            QStringLiteral("Итого: 890,000 741,667"),
            QStringLiteral("370,00 308,33"),
            QStringLiteral("2370,000 1975,000"),
            QStringLiteral("Борисов Б.Б. Сумма без Р/К"),
            QStringLiteral("Крышки"),
            QStringLiteral("Готовая продукция Литьё 40 60,000"),
            QStringLiteral("Хоз.р.: 0 Ср. сд.: 0 40 60,000 50,000"),
            QStringLiteral("Итого: 60,000 50,000"),
            QStringLiteral("60,00 50,00"),
            QStringLiteral("360,000 300,000"),
            QStringLiteral("Васильев В.В. Сумма без Р/К"),
            QStringLiteral("Ящики"),
            QStringLiteral("Заготовки Литьё 9 27,000"),
            QStringLiteral("Хоз.р.: 0 Ср. сд.: 600 9 27,000 22,500"),
            QStringLiteral("Итого: 627,000 522,500"),
            QStringLiteral("27,00 22,50"),
            QStringLiteral("627,000 522,500"),
            QStringLiteral("457,00 380,83"),
            QStringLiteral("Хоз.р.: 1500,00 1250,00"),
            QStringLiteral("Ср.сд.: 1400,00 1166,67"),
            QStringLiteral("Итого: 3357,00 2797,50"),
            QStringLiteral("1"),
        };
        QCOMPARE(lines, expected);
    }

    // The product kind filters the lines and their totals, but the period's household-work totals
    // of the grand total stay those of every worker and product.
    void byWorkersFiltered_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");
        QTest::addColumn<QStringList>("grandTotal");
        QTest::newRow("finished") << int(ProductKind::Finished)
                                  << QStringList{"Готовая продукция Литьё 96 144,000",
                                                 "Готовая продукция Литьё 40 60,000"}
                                  << QStringList{"Заготовки Литьё 30 90,000",
                                                 "Васильев В.В. Сумма без Р/К"}
                                  << QStringList{"340,00 283,33", "Хоз.р.: 1500,00 1250,00",
                                                 "Ср.сд.: 1400,00 1166,67",
                                                 "Итого: 3240,00 2700,00"};
        QTest::newRow("blanks") << int(ProductKind::Blanks)
                                << QStringList{"Заготовки Литьё 30 90,000",
                                               "Заготовки Литьё 9 27,000"}
                                << QStringList{"Готовая продукция Литьё 96 144,000",
                                               "Борисов Б.Б. Сумма без Р/К"}
                                << QStringList{"117,00 97,50", "Хоз.р.: 1500,00 1250,00",
                                               "Ср.сд.: 1400,00 1166,67", "Итого: 3017,00 2514,17"};
    }
    void byWorkersFiltered()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        QFETCH(QStringList, grandTotal);
        const QStringList lines = print<TForm16>(ProductKind(kind));
        for (const QString &line : present)
            QVERIFY2(lines.contains(line), qPrintable(line + joined(lines)));
        for (const QString &line : absent)
            QVERIFY2(!lines.contains(line), qPrintable(line + joined(lines)));
        QCOMPARE(lines.mid(lines.size() - 5, 4), grandTotal);
    }

    // By products: per nomenclature group the good pieces (rejects left out) and boxes of each
    // operation, kind and colour; the grand total's boxes without decimals.
    void byProducts()
    {
        const QStringList lines = print<TForm17>(ProductKind::All);
        const QStringList expected = {
            QStringLiteral(
                "Отчет по продукции за период с 01.02.2024 по 01.03.2024 Коробки Количество"),
            QStringLiteral("Крышки"),
            QStringLiteral("Готовая продукция Литьё 68 136"),
            QStringLiteral("Готовая продукция Покраска (грунт) 9 18"),
            QStringLiteral("Готовая продукция Покраска (RAL: 3) 25 50"),
            QStringLiteral("102 204"),
            QStringLiteral("Ящики"),
            QStringLiteral("Заготовки Литьё 78 39"),
            QStringLiteral("78 39"),
            QStringLiteral("Итого: 180 243"),
            QStringLiteral("1"),
        };
        QCOMPARE(lines, expected);
    }

    // Detailed by workers: his lines with hours, rejects, pieces and pay; his summary of hour-paid
    // and piece work; a worker without hours gets no price per hour.
    void byWorkersDetailed()
    {
        const QStringList lines = print<TForm20>(ProductKind::All);
        const QStringList expected = {
            QStringLiteral("Детальный отчет по рабочим за период с 01.02.2024 по 01.03.2024"),
            QStringLiteral("Антонов А.А. Часы Брак Количество Сумма"),
            QStringLiteral("КР-1 белая Литьё 0 Готовая продукция 8 4 100 144,00"),
            QStringLiteral("КР-1 белая Покраска 1 Готовая продукция 2 2 20 36,00"),
            QStringLiteral("КР-1 белая Покраска 3 Готовая продукция 4 0 50 100,00"),
            QStringLiteral("ЯЩ-2 Литьё 0 Заготовки 6 0 30 90,00"),
            QStringLiteral("6 200 370,00"),
            QStringLiteral("Часы Сумма с р/к (р.) Сумма без р/к (р.)"),
            QStringLiteral("Хоз. раб. (дн.) 8 1200 1000"),
            QStringLiteral("Хоз. раб. (нч.) 0 0 0"),
            QStringLiteral("Ср. сд. (дн.) 0 0 0"),
            QStringLiteral("Ср. сд. (нч.) 4 800 666,67"),
            QStringLiteral("Сдел. 20,00 370,00 308,33"),
            QStringLiteral("Итого: 32,00 2370,00 1975,00"),
            QStringLiteral("Цена ср. сд. за 1 ч.: 18,50 15,42"),
            QStringLiteral("Борисов Б.Б. Часы Брак Количество Сумма"),
            QStringLiteral("КР-1 белая Литьё 0 Готовая продукция 8 0 40 60,00"),
            QStringLiteral("0 40 60,00"),
            QStringLiteral("Часы Сумма с р/к (р.) Сумма без р/к (р.)"),
            QStringLiteral("Хоз. раб. (дн.) 0 0 0"),
            QStringLiteral("Хоз. раб. (нч.) 2 300 250"),
            QStringLiteral("Ср. сд. (дн.) 0 0 0"),
            QStringLiteral("Ср. сд. (нч.) 0 0 0"),
            QStringLiteral("Сдел. 8,00 60,00 50,00"),
            QStringLiteral("Итого: 10,00 360,00 300,00"),
            QStringLiteral("Цена ср. сд. за 1 ч.: 7,50 6,25"),
            QStringLiteral("Васильев В.В. Часы Брак Количество Сумма"),
            QStringLiteral("ЯЩ-2 Литьё 0 Заготовки 0 1 10 27,00"),
            QStringLiteral("1 10 27,00"),
            QStringLiteral("Часы Сумма с р/к (р.) Сумма без р/к (р.)"),
            QStringLiteral("Хоз. раб. (дн.) 0 0 0"),
            QStringLiteral("Хоз. раб. (нч.) 0 0 0"),
            QStringLiteral("Ср. сд. (дн.) 3 600 500"),
            QStringLiteral("Ср. сд. (нч.) 0 0 0"),
            QStringLiteral("Сдел. 0,00 27,00 22,50"),
            QStringLiteral("Итого: 3,00 627,00 522,50"),
            QStringLiteral("Цена ср. сд. за 1 ч.:"),
            QStringLiteral("Итого: 7 250 457,00"),
        };
        // The page numbers sit between the bands wherever a page ends; leave them out here.
        QStringList withoutPageNumbers;
        for (const QString &line : lines)
            if (!QRegularExpression(QStringLiteral("^\\d+$")).match(line).hasMatch())
                withoutPageNumbers.append(line);
        QCOMPARE(withoutPageNumbers, expected);
    }

    // Detailed by products: pieces and boxes count the rejects too. The product kind text fills
    // its cell up to the rejects, so the lines are compared without their blanks.
    void byProductsDetailed()
    {
        QStringList lines = print<TForm21>(ProductKind::All);
        QStringList expected = {
            QStringLiteral("Детальный отчет по продукции за период с 01.02.2024 по 01.03.2024 Брак "
                           "Коробки Кол-во Сумма"),
            QStringLiteral("Крышки"),
            QStringLiteral("КР-1 белая Литьё 0 Готовая продукция 4 70 140 204,000"),
            QStringLiteral("КР-1 белая Покраска 1 Готовая продукция 2 10 20 36,000"),
            QStringLiteral("КР-1 белая Покраска 3 Готовая продукция 0 25 50 100,000"),
            QStringLiteral("6 105,00 210 340,00"),
            QStringLiteral("Ящики"),
            QStringLiteral("ЯЩ-2 Литьё 0 Заготовки 1 80 40 117,000"),
            QStringLiteral("1 80,00 40 117,00"),
            QStringLiteral("Итого: 7 185 250 457,00"),
            QStringLiteral("1"),
        };
        for (QString &line : lines)
            line.remove(QLatin1Char(' '));
        QStringList compact = expected;
        for (QString &line : compact)
            line.remove(QLatin1Char(' '));
        QCOMPARE(lines, compact);
    }

    // A period without entries still prints one page: the title, the captions, a grand total of
    // zeros and the page number; the period's end day alone is such a period.
    void emptyPeriod_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("by workers")
            << 16
            << QStringList{"Отчет по рабочим за период с 01.03.2024 по 01.03.2024",
                           "0,00 0,00",
                           "Хоз.р.: 0,00",
                           "Ср.сд.: 0,00",
                           "Итого: 0,00 0,00",
                           "1"};
        QTest::newRow("by products")
            << 17
            << QStringList{
                   "Отчет по продукции за период с 01.03.2024 по 01.03.2024 Коробки Количество",
                   "Итого: 0 0", "1"};
        QTest::newRow("detailed by workers")
            << 20
            << QStringList{"Детальный отчет по рабочим за период с 01.03.2024 по 01.03.2024",
                           "Итого: 0 0 0,00", "1"};
        QTest::newRow("detailed by products")
            << 21
            << QStringList{"Детальный отчет по продукции за период с 01.03.2024 по 01.03.2024 Брак "
                           "Коробки Кол-во Сумма",
                           "Итого: 0 0 0 0,00", "1"};
    }
    void emptyPeriod()
    {
        QFETCH(int, layout);
        QFETCH(QStringList, expected);
        const QDate day(2024, 3, 1);
        QStringList lines;
        switch (layout) {
        case 16:
            lines = print<TForm16>(ProductKind::All, day, day);
            break;
        case 17:
            lines = print<TForm17>(ProductKind::All, day, day);
            break;
        case 20:
            lines = print<TForm20>(ProductKind::All, day, day);
            break;
        default:
            lines = print<TForm21>(ProductKind::All, day, day);
            break;
        }
        QCOMPARE(lines, expected);
        QCOMPARE(pdf::pageCount(m_lastFile), 1);
    }

    // The calling protocol: the query is open while the pages are prepared and shown and closed
    // afterwards; the product kind filter stays on the query until the next print sets it; the
    // title label holds the title; a failing query shows no preview and leaves the query closed.
    void protocol()
    {
        TForm17 layout(*m_dm);
        PreviewCapture capture(m_dir.path());
        bool openWhileShown = false;
        report::setPreviewHandler(
            [&](const report::PreparedReport &) { openWhileShown = layout.t_Report.isOpen(); });
        layout.print(From, To, ProductKind::Finished, nullptr);
        QVERIFY(openWhileShown);
        QVERIFY(!layout.t_Report.isOpen());
        QVERIFY(layout.t_Report.isFiltered());
        QCOMPARE(layout.QuickRep1.text(QStringLiteral("QRLabel1")),
                 QStringLiteral("   Отчет по продукции за период с 01.02.2024 по 01.03.2024"));
        QCOMPARE(layout.t_Report.param(QStringLiteral("data1")).toDate(), From);
        QCOMPARE(layout.t_Report.param(QStringLiteral("data2")).toDate(), To);

        bool shown = false;
        report::setPreviewHandler([&](const report::PreparedReport &) { shown = true; });
        layout.t_Report.setSql(QStringLiteral("select * from accounts_dep.no_such_table"));
        QVERIFY_THROWS_EXCEPTION(std::exception, layout.print(From, To, ProductKind::All, nullptr));
        QVERIFY(!shown);
        QVERIFY(!layout.t_Report.isOpen());
        QVERIFY(!layout.t_Report.isFiltered());
        report::setPreviewHandler({});
    }

    // The hours table: one line per worker name (two workers of the same name share it) with the
    // month's hours of every day summed over all his rows, nothing in the days without hours, and
    // the line's total; other months stay out. Every value sits in its day's cell.
    void hoursTable()
    {
        TDataModule6 &dm = *m_dm;
        const qint64 twin = seed::worker(dm, QStringLiteral("Борисов Б.Б."));
        // The monthly rows are this case's own, not those posted from other cases' entries.
        TestDatabase::exec(dm, QStringLiteral("delete from accounts_dep.h_tabel"));
        seed::monthRow(dm, m_shop.antonov, 2, 2024, 1, {{1, 8}, {10, 4}});
        seed::monthRow(dm, m_shop.antonov, 2, 2024, 2, {{1, 2}});
        seed::monthRow(dm, m_shop.antonov, 2, 2024, 0, {{5, 8}}, 7777);
        seed::monthRow(dm, m_shop.borisov, 2, 2024, 1, {{29, 8}});
        seed::monthRow(dm, m_shop.borisov, 3, 2024, 1, {{1, 7}});
        seed::monthRow(dm, twin, 2, 2024, 3, {{2, 3}});

        TForm15 layout(dm);
        QCOMPARE(layout.title(), QStringLiteral("Данные за:"));
        PreviewCapture capture(m_dir.path());
        layout.print(2, 2024, reporting::monthTitle(2, 2024), nullptr);
        QVERIFY(!layout.H_Tabel.isOpen());
        QCOMPARE(capture.files.size(), 1);
        const QString path = capture.files.first();
        QString header = QStringLiteral("Февраль 2024 г.");
        for (int day = 1; day <= 31; ++day)
            header += QLatin1Char(' ') + QString::number(day);
        header += QStringLiteral(" Итого");
        QCOMPARE(pdf::lines(path),
                 (QStringList{header, QStringLiteral("Антонов А.А. 10 8 4 22"),
                              QStringLiteral("Борисов Б.Б. 3 8 11"), QStringLiteral("1")}));

        // Where each value of Антонов's line stands: the centre of its day's cell (10 mm margin).
        QList<pdf::Word> line;
        double top = -1;
        for (const pdf::Word &word : pdf::words(path)) {
            if (word.text == QStringLiteral("Антонов"))
                top = word.yMin;
            if (top >= 0 && qAbs(word.yMin - top) < 1 && pdf::mm(word.xMin) > 90)
                line.append(word);
        }
        std::sort(line.begin(), line.end(),
                  [](const pdf::Word &x, const pdf::Word &y) { return x.xMin < y.xMin; });
        const auto centreOfDay = [](int day) {
            return 10 + reporting::hoursDayCells().at(day - 1) + 2.65;
        };
        const QList<QPair<QString, double>> cells = {{"10", centreOfDay(1)},
                                                     {"8", centreOfDay(5)},
                                                     {"4", centreOfDay(10)},
                                                     {"22", 10 + 264.6 + 5.15}};
        QCOMPARE(line.size(), cells.size());
        for (int i = 0; i < cells.size(); ++i) {
            QCOMPARE(line.at(i).text, cells.at(i).first);
            const double centre = pdf::mm((line.at(i).xMin + line.at(i).xMax) / 2);
            QVERIFY2(qAbs(centre - cells.at(i).second) < 0.6,
                     qPrintable(QStringLiteral("%1 at %2 mm, its cell at %3 mm")
                                    .arg(cells.at(i).first)
                                    .arg(centre)
                                    .arg(cells.at(i).second)));
        }
        QCOMPARE(
            pdf::run(QStringLiteral("pdfinfo"), {path}).contains(QLatin1String("842 x 595 pts")),
            true);
    }

private:
    // Prints a period layout through its calling protocol into a PDF and returns its lines.
    template<typename Layout>
    QStringList print(ProductKind kind, QDate from = From, QDate to = To)
    {
        Layout layout(*m_dm);
        PreviewCapture capture(m_dir.path());
        layout.print(from, to, kind, nullptr);
        if (capture.files.size() != 1)
            return {QStringLiteral("<no preview>")};
        m_lastFile = m_dir.filePath(QStringLiteral("last.pdf"));
        QFile::remove(m_lastFile);
        QFile::rename(capture.files.first(), m_lastFile);
        return pdf::lines(m_lastFile);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    seed::SmallShop m_shop;
    QString m_lastFile;
};

TABEL_TEST_MAIN(TestPeriodReports)
#include "tst_period_reports.moc"
