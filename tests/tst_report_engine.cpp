#include "output/data_source.h"
#include "output/expression.h"
#include "output/preview.h"
#include "output/report.h"
#include "output/xlsx_export.h"
#include "support/recorders.h"
#include "support/report_capture.h"
#include "support/test_main.h"
#include "ui/locale_setup.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace report;

namespace {

// One row of the fields the expression cases use; a null QVariant is a field without a value.
TableSource caseRow(const QVariantMap &fields)
{
    QStringList columns = fields.keys();
    QVector<QVariant> row;
    for (const QString &column : columns)
        row.append(fields.value(column));
    return TableSource(QStringLiteral("t_Report"), columns, {row});
}

QString evaluate(const QString &text, const TableSource &source, const QString &mask = {})
{
    Symbols symbols;
    const Expression expression = Expression::parse(text, symbols);
    QVector<int> columns;
    for (const QString &field : symbols.fields())
        columns.append(source.columnOf(field));
    QVector<Decimal> sums(symbols.sumCount());
    Scope scope{&source, 0, &columns, &sums, 4};
    return expression.evaluate(scope).display(mask);
}

const QVariant null = QVariant(QMetaType(QMetaType::Double));

// A report of workers' amounts: the whole report (title, grand total), the worker group (header,
// footer with his sum and his household figure) and a detail line per row.
Layout workersLayout()
{
    Layout layout;
    Group whole;
    whole.header =
        band(8).add(label(QStringLiteral("Заголовок"), 0).named(QStringLiteral("QRLabel1")));
    whole.header->child(band(0.5));
    whole.footer =
        band(6).add(field(QStringLiteral("sum(summa)"), 100, 30).masked(QStringLiteral("#0.00")));
    Group worker;
    worker.expression = QStringLiteral("t_Report.fio");
    worker.header = band(6).add(field(QStringLiteral("fio"), 0, 80));
    worker.footer =
        band(6)
            .add({field(QStringLiteral("sum(summa)"), 100, 30).masked(QStringLiteral("#0.00")),
                  field(QStringLiteral("t_Report.f_sum7"), 140, 30)})
            .resetting();
    layout.groups = {whole, worker};
    layout.detail =
        band(5).add(field(QStringLiteral("summa"), 100, 30).masked(QStringLiteral("#0.000")));
    layout.pageFooter = band(5).add(field(QStringLiteral("PAGENUMBER"), 170, 20).rightAligned());
    return layout;
}

TableSource workerRows(const QList<std::tuple<QString, double, double>> &rows)
{
    TableSource source(QStringLiteral("t_Report"),
                       {QStringLiteral("fio"), QStringLiteral("summa"), QStringLiteral("f_sum7")});
    for (const auto &[fio, summa, household] : rows)
        source.addRow({fio, summa, household});
    return source;
}

} // namespace

// The band engine: the expression language and masks, the band logic (groups, sums, footers with
// the values of the group just finished, page breaks, page numbers), and what reaches the PDF.
class TestReportEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY(m_dir.isValid());
    }

    // What the layouts' fields print: the language as the layouts write it, with the user's
    // decimal comma, empty for a missing value or a division by zero.
    void expressions_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QVariantMap>("fields");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("shown");

        const QVariantMap none;
        QTest::newRow("precedence") << "1+2*3" << none << ""
                                    << "7";
        QTest::newRow("parentheses") << "(1+2)*3" << none << ""
                                     << "9";
        QTest::newRow("unary minus") << "-2+5" << none << ""
                                     << "3";
        QTest::newRow("decimal comma") << "10/4" << none << ""
                                       << "2,5";
        QTest::newRow("division by zero") << "10/0" << none << ""
                                          << "";
        QTest::newRow("division by zero spreads") << "(10/0)*2+1" << none << "#0.00"
                                                  << "";
        QTest::newRow("divided by an empty field")
            << "summa/sum_time" << QVariantMap{{"summa", 12.5}, {"sum_time", null}} << "#0.00"
            << "";
        QTest::newRow("texts joined") << "'a'+'б'+'c'" << none << ""
                                      << "aбc";
        QTest::newRow("quote in a text") << "'it''s'" << none << ""
                                         << "it's";
        QTest::newRow("STR of a whole number")
            << "' (RAL: '+STR(color)+')'" << QVariantMap{{"color", 3}} << ""
            << " (RAL: 3)";
        QTest::newRow("Str of a decimal") << "Str(1.5)" << none << ""
                                          << "1,5";
        const QString colour =
            QStringLiteral("if(color>0,if(color=1,' (грунт)',' (RAL: '+STR(color)+')'),' ')");
        QTest::newRow("colour 0") << colour << QVariantMap{{"color", 0}} << ""
                                  << " ";
        QTest::newRow("colour negative") << colour << QVariantMap{{"color", -2}} << ""
                                         << " ";
        QTest::newRow("colour 1") << colour << QVariantMap{{"color", 1}} << ""
                                  << " (грунт)";
        QTest::newRow("colour 12") << colour << QVariantMap{{"color", 12}} << ""
                                   << " (RAL: 12)";
        const QString kind = QStringLiteral("IF(naimen=0,'Готовая продукция','Заготовки')");
        QTest::newRow("finished") << kind << QVariantMap{{"naimen", 0}} << ""
                                  << "Готовая продукция";
        QTest::newRow("blanks") << kind << QVariantMap{{"naimen", 1}} << ""
                                << "Заготовки";
        QTest::newRow("query name before the field")
            << "t_Report.f_sum7 + t_Report.f_sum8" << QVariantMap{{"f_sum7", 10.5}, {"F_SUM8", 2}}
            << "#0.000"
            << "12,500";
        QTest::newRow("empty fields add as 0")
            << "sd1+sd2+sd3" << QVariantMap{{"sd1", null}, {"sd2", 8}, {"sd3", 4}} << ""
            << "12";
        QTest::newRow("empty field prints nothing") << "sd1" << QVariantMap{{"sd1", null}} << ""
                                                    << "";
        QTest::newRow("text comparison")
            << "IF(fio='Иванов','да','нет')" << QVariantMap{{"fio", "Иванов"}} << ""
            << "да";
        QTest::newRow("comparisons")
            << "IF((1<2) and (2<=2) and (3>=1) and (1<>2) and not (1>2),'y','n')" << none << ""
            << "y";
        QTest::newRow("or") << "IF(1=2 or 2=2,'y','n')" << none << ""
                            << "y";
        QTest::newRow("page number") << "PAGENUMBER" << none << ""
                                     << "4";
        QTest::newRow("unformatted decimals") << "summa" << QVariantMap{{"summa", 1234.125}} << ""
                                              << "1234,125";
        // A quotient that does not end prints rounded half up to kopecks; one that ends, whole.
        QTest::newRow("unformatted quotient: kopecks")
            << "f_sum8/1.2" << QVariantMap{{"f_sum8", 800}} << ""
            << "666,67";
        QTest::newRow("unformatted quotient: rounded down")
            << "f_sum7/1.2" << QVariantMap{{"f_sum7", 370}} << ""
            << "308,33";
        QTest::newRow("unformatted quotient that ends")
            << "f_sum7/1.2" << QVariantMap{{"f_sum7", 1200.6}} << ""
            << "1000,5";
        QTest::newRow("unformatted: stored double without noise")
            << "a+b+c" << QVariantMap{{"a", 80000.01}, {"b", 180.97}, {"c", 0.01}} << ""
            << "80180,99";
        QTest::newRow("unformatted: binary noise of the database dropped")
            << "summa" << QVariantMap{{"summa", 0.1 + 0.2}} << ""
            << "0,3";
        QTest::newRow("mask rounds a half-kopeck tie up")
            << "summa" << QVariantMap{{"summa", 33833.685}} << "#0.00"
            << "33833,69";
        QTest::newRow("mask rounds a negative tie away from zero")
            << "0-summa" << QVariantMap{{"summa", 1.005}} << "#0.00"
            << "-1,01";
        QTest::newRow("mask on a quotient tie")
            << "summa/1.2" << QVariantMap{{"summa", 0.03}} << "#0.00"
            << "0,03";
        QTest::newRow("mask on a quotient half up")
            << "summa/2" << QVariantMap{{"summa", 0.05}} << "#0.00"
            << "0,03";
        QTest::newRow("unformatted: small") << "0.1+0.2" << none << ""
                                            << "0,3";
        QTest::newRow("unformatted: negative") << "0-2.5" << none << ""
                                               << "-2,5";
        QTest::newRow("mask #0") << "kolvo" << QVariantMap{{"kolvo", 41.7}} << "#0"
                                 << "42";
        QTest::newRow("mask #0.00") << "summa" << QVariantMap{{"summa", 12345.5}} << "#0.00"
                                    << "12345,50";
        QTest::newRow("mask #0.000") << "summa/3" << QVariantMap{{"summa", 1}} << "#0.000"
                                     << "0,333";
        QTest::newRow("mask #0.00# two") << "summa" << QVariantMap{{"summa", 2.5}} << "#0.00#"
                                         << "2,50";
        QTest::newRow("mask #0.00# three") << "summa" << QVariantMap{{"summa", 2.125}} << "#0.00#"
                                           << "2,125";
        QTest::newRow("mask on text") << "fio" << QVariantMap{{"fio", "Петров"}} << "#0.00"
                                      << "Петров";
        QTest::newRow("too large to hold prints nothing")
            << "9999999999*9999999999*9999999999" << none << "#0.00"
            << "";
        QTest::newRow("mask finer than the decimals kept") << "1/3" << none << "#0.00000000000000"
                                                           << "0,333333333333";
        QTest::newRow("negative rounds to zero") << "0-0.0001" << none << "#0.00"
                                                 << "0,00";
    }
    void expressions()
    {
        QFETCH(QString, expression);
        QFETCH(QVariantMap, fields);
        QFETCH(QString, mask);
        QFETCH(QString, shown);
        QCOMPARE(evaluate(expression, caseRow(fields), mask), shown);
    }

    // A layout with a broken expression is refused when it is built, naming the expression.
    void syntaxErrors_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::newRow("operator at the end") << "1+";
        QTest::newRow("IF with two arguments") << "IF(1,2)";
        QTest::newRow("unknown function") << "avg(summa)";
        QTest::newRow("open text") << "'abc";
        QTest::newRow("open parenthesis") << "(1+2";
        QTest::newRow("two values") << "summa kolvo";
        QTest::newRow("strange sign") << "summa # 2";
        QTest::newRow("empty field name") << "t_Report.";
        // Once took the place of the position in the message, which then lost the expression.
        QTest::newRow("argument markers in the text") << "'%2%1' + #";
        // Once exhausted the stack when evaluated and freed.
        QTest::newRow("operator chain too long")
            << QStringList(200000, QStringLiteral("1")).join(QLatin1Char('+'));
        // Once exhausted the stack while parsing.
        QTest::newRow("nested too deeply") << QString(100000, QLatin1Char('(')) +
                                                  QStringLiteral("1") +
                                                  QString(100000, QLatin1Char(')'));
    }
    void syntaxErrors()
    {
        QFETCH(QString, expression);
        Layout layout;
        layout.detail = band(5).add(field(expression, 0, 10));
        try {
            Report built(layout);
            QFAIL("the layout was accepted");
        } catch (const ReportError &error) {
            QVERIFY2(error.message().contains(expression), qPrintable(error.message()));
        }
    }

    // Sums over a group start again after its footer; the grand total runs over the whole report;
    // a bare field in a footer shows the value of the group just finished, not of the next row.
    void groupsAndSums()
    {
        Report built(workersLayout());
        built.setText(QStringLiteral("QRLabel1"), QStringLiteral("   Отчет"));
        const PreparedReport prepared = built.prepare(
            workerRows({{"Алексеев", 1, 7}, {"Алексеев", 2.5, 7}, {"Борисов", 10, 3.5}}));
        QCOMPARE(prepared.pageCount(), 1);
        QCOMPARE(prepared.texts(0),
                 (QStringList{"   Отчет", "Алексеев", "1,000", "2,500", "3,50", "7", "Борисов",
                              "10,000", "10,00", "3,5", "13,50", "1"}));
    }

    // No rows: the title, the grand total and the page number still print; no group of rows does.
    void emptyReport()
    {
        Report built(workersLayout());
        const PreparedReport prepared = built.prepare(workerRows({}));
        QCOMPARE(prepared.pageCount(), 1);
        QCOMPARE(prepared.texts(0), (QStringList{"Заголовок", "0,00", "1"}));
    }

    // Bands go on to the next page when the page is full, never past the page footer; the column
    // header is printed again on top of every page and the page footer on every page, the last
    // one too, with its number.
    void pageBreaks()
    {
        Layout layout;
        Group columns;
        columns.header = band(10).add(label(QStringLiteral("Шапка"), 0));
        columns.reprintOnNewPage = true;
        Group whole;
        whole.footer = band(30).add(field(QStringLiteral("sum(n)"), 0, 20));
        layout.groups = {columns, whole};
        layout.detail = band(10).add(field(QStringLiteral("n"), 0, 20));
        layout.pageFooter = band(10).add(field(QStringLiteral("PAGENUMBER"), 0, 20));
        Report built(layout);
        TableSource rows(QStringLiteral("q"), {QStringLiteral("n")});
        // 277 mm for bands: the header, 25 lines and the page footer fill the first page.
        for (int n = 1; n <= 40; ++n)
            rows.addRow({n});
        const PreparedReport prepared = built.prepare(rows);
        QCOMPARE(prepared.pageCount(), 2);
        const QStringList first = prepared.texts(0);
        const QStringList second = prepared.texts(1);
        QCOMPARE(first.first(), QStringLiteral("Шапка"));
        QCOMPARE(first.at(1), QStringLiteral("1"));
        QCOMPARE(first.at(first.size() - 2), QStringLiteral("25"));
        QCOMPARE(first.last(), QStringLiteral("1"));
        QCOMPARE(second.first(), QStringLiteral("Шапка"));
        QCOMPARE(second.at(1), QStringLiteral("26"));
        QCOMPARE(second.at(second.size() - 2), QStringLiteral("820"));
        QCOMPARE(second.last(), QStringLiteral("2"));
        for (int page = 0; page < prepared.pageCount(); ++page) {
            for (const PreparedReport::Op &op : prepared.pages().at(page)) {
                if (op.kind != PreparedReport::Op::Kind::Text ||
                    op.text == QString::number(page + 1))
                    continue;
                QVERIFY2(op.rect.top() < 10 + 267, qPrintable(op.text));
            }
        }
    }

    // A field the query lacks stops the preparation with its name; so does a label the layout
    // lacks.
    void missingNames()
    {
        Report built(workersLayout());
        TableSource rows(QStringLiteral("t_Report"),
                         {QStringLiteral("fio"), QStringLiteral("summa")});
        try {
            built.prepare(rows);
            QFAIL("prepared without f_sum7");
        } catch (const ReportError &error) {
            QVERIFY2(error.message().contains(QLatin1String("f_sum7")),
                     qPrintable(error.message()));
        }
        QVERIFY_THROWS_EXCEPTION(ReportError, built.setText(QStringLiteral("QRLabel9"), {}));
    }

    // What the PDF shows: the texts where the layout puts them, in millimetres from the printable
    // area's corner, on A4 in the layout's orientation (a landscape page is drawn on its whole
    // width), aligned left, centred and right within their width.
    void pdfPositions_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::newRow("portrait") << int(QPageLayout::Portrait);
        QTest::newRow("landscape") << int(QPageLayout::Landscape);
    }
    void pdfPositions()
    {
        QFETCH(int, orientation);
        Layout layout;
        layout.orientation = QPageLayout::Orientation(orientation);
        const double far = orientation == QPageLayout::Landscape ? 250 : 160;
        layout.detail = band(10).add({label(QStringLiteral("Слева"), 20, 40).at(2),
                                      label(QStringLiteral("Центр"), 80, 40).centred(),
                                      label(QStringLiteral("Справа"), far, 20).rightAligned()});
        const QString path = m_dir.filePath(QStringLiteral("positions.pdf"));
        Report(layout).prepare(TableSource(QStringLiteral("q"), {}, {{}})).writePdf(path);

        const QString info = pdf::run(QStringLiteral("pdfinfo"), {path});
        QVERIFY2(info.contains(orientation == QPageLayout::Landscape
                                   ? QLatin1String("842 x 595 pts")
                                   : QLatin1String("595 x 842 pts")),
                 qPrintable(info));
        QHash<QString, pdf::Word> at;
        for (const pdf::Word &word : pdf::words(path))
            at.insert(word.text, word);
        QVERIFY(at.contains(QStringLiteral("Слева")));
        QVERIFY(at.contains(QStringLiteral("Справа")));
        // Where a word is, against where the layout puts it (x in mm from the paper's edge).
        const auto near = [](double points, double wantedMm, double tolerance) {
            const double got = pdf::mm(points);
            return qAbs(got - wantedMm) < tolerance
                       ? QString()
                       : QStringLiteral("at %1 mm instead of %2 mm").arg(got).arg(wantedMm);
        };
        const pdf::Word left = at[QStringLiteral("Слева")];
        const pdf::Word centre = at[QStringLiteral("Центр")];
        const pdf::Word right = at[QStringLiteral("Справа")];
        QCOMPARE(near(left.xMin, 30, 0.6), QString());
        QCOMPARE(near(left.yMin, 12, 1.0), QString());
        QCOMPARE(near((centre.xMin + centre.xMax) / 2, 110, 0.6), QString());
        QCOMPARE(near(right.xMax, 10 + far + 20, 0.6), QString());
    }

    // The fonts the layouts name print with installed faces that keep their widths.
    void fontsInThePdf()
    {
        Layout layout;
        layout.detail = band(10).add(
            {label(QStringLiteral("Обычный"), 0), label(QStringLiteral("Жирный"), 50).bold(),
             label(QStringLiteral("Ячейка"), 100).family(QStringLiteral("Microsoft Sans Serif"))});
        const QString path = m_dir.filePath(QStringLiteral("fonts.pdf"));
        Report(layout).prepare(TableSource(QStringLiteral("q"), {}, {{}})).writePdf(path);
        const QString fonts = pdf::run(QStringLiteral("pdffonts"), {path});
        QVERIFY2(fonts.contains(QLatin1String("LiberationSans ")) ||
                     fonts.contains(QLatin1String("LiberationSans\n")),
                 qPrintable(fonts));
        QVERIFY2(fonts.contains(QLatin1String("LiberationSans-Bold")), qPrintable(fonts));
        QCOMPARE(pdf::lines(path), QStringList{QStringLiteral("Обычный Жирный Ячейка")});
    }

    // A file that cannot be written is reported, not passed over.
    void unwritablePdf()
    {
        Layout layout;
        const PreparedReport prepared =
            Report(layout).prepare(TableSource(QStringLiteral("q"), {}));
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        QVERIFY_THROWS_EXCEPTION(ReportError,
                                 prepared.writePdf(QStringLiteral("/nonexistent/dir/x.pdf")));
    }

    // Money summed as decimals: the printed total is the exact sum of the lines rounded half up
    // to kopecks, whatever the order of the lines, where binary sums fall a kopeck short. A sum of
    // quotients by one divisor ("Сумма без Р/К", sum(summa/1.2)) is the exact quotient of the
    // sum, rounded once: each line's repeating quotient cut at the twelfth place would leave the
    // total just under a half kopeck.
    void exactTotals_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QStringList>("amounts");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("unformatted");
        const QString sum = QStringLiteral("sum(summa)");
        const QString withoutRk = QStringLiteral("sum(summa/1.2)");
        QTest::newRow("one half-kopeck line") << sum << QStringList{"1.005"} << "1,01"
                                              << "1,005";
        QTest::newRow("three lines to a tie")
            << sum << QStringList{"11277.895", "11277.895", "11277.895"} << "33833,69"
            << "33833,685";
        QTest::newRow("small lines to a tie") << sum << QStringList{"0.105", "0.2", "0.3"} << "0,61"
                                              << "0,605";
        QTest::newRow("no noise in a long sum")
            << sum << QStringList{"80000.1", "0.29", "180.3", "0.3", "0.1", "-0.1"} << "80180,99"
            << "80180,99";
        QTest::newRow("a tie below zero") << sum << QStringList{"-2.5", "0.495"} << "-2,01"
                                          << "-2,005";
        QTest::newRow("quotients to a tie")
            << withoutRk << QStringList{"383147.23", "0.01", "0.01"} << "319289,38"
            << "319289,375";
        QTest::newRow("kopecks to a tie")
            << withoutRk << QStringList{"0.01", "0.01", "0.01"} << "0,03"
            << "0,025";
        QTest::newRow("quotients of a sum and a constant")
            << QStringLiteral("sum((summa+0.01)/(2*0.6))") << QStringList{"383147.22", "0.01"}
            << "319289,38"
            << "319289,375";
        QTest::newRow("repeating quotient") << withoutRk << QStringList{"0.01", "0.01"} << "0,02"
                                            << "0,02";
        QTest::newRow("quotients below zero")
            << withoutRk << QStringList{"-0.01", "-0.01", "-0.01"} << "-0,03"
            << "-0,025";
        QTest::newRow("a zero divisor adds nothing")
            << QStringLiteral("sum(summa/0)") << QStringList{"1.5", "2"} << "0,00"
            << "0";
    }
    void exactTotals()
    {
        QFETCH(QString, expression);
        QFETCH(QStringList, amounts);
        QFETCH(QString, total);
        QFETCH(QString, unformatted);
        Layout layout;
        Group whole;
        whole.footer = band(6).add(
            {field(expression, 0, 40).masked(QStringLiteral("#0.00")), field(expression, 50, 40)});
        layout.groups = {whole};
        layout.detail = band(5);
        const Report report(layout);
        for (bool reversed : {false, true}) {
            TableSource rows(QStringLiteral("q"), {QStringLiteral("summa")});
            for (qsizetype i = 0; i < amounts.size(); ++i)
                rows.addRow({amounts.at(reversed ? amounts.size() - 1 - i : i).toDouble()});
            const PreparedReport prepared = report.prepare(rows);
            QCOMPARE(prepared.texts(0), (QStringList{total, unformatted}));
        }
    }

    // Lines, fills and band backgrounds as they come out on a page at 96 dpi, against the
    // reference picture within a tolerance for the smoothing of edges and glyphs.
    void pagePicture()
    {
        Layout layout;
        layout.margins = QMarginsF(10, 10, 10, 10);
        Group whole;
        whole.header = band(12)
                           .filled(QColor(0xF4, 0xF4, 0xF4))
                           .add(label(QStringLiteral("Отчет по рабочим"), 2).bold().sized(12));
        whole.footer = band(10)
                           .filled(QColor(0xDC, 0xDC, 0xDC))
                           .framed(Lines::frame())
                           .add(field(QStringLiteral("sum(summa)"), 120, 40)
                                    .centred()
                                    .masked(QStringLiteral("#0.00"))
                                    .filled(QColor(0xEF, 0xEF, 0xEF))
                                    .framed(Lines::frame()));
        Group worker;
        worker.expression = QStringLiteral("fio");
        worker.header =
            band(7).filled(QColor(0xE0, 0xE0, 0xE0)).add(field(QStringLiteral("fio"), 1));
        layout.groups = {whole, worker};
        layout.detail =
            band(6)
                .framed(Lines::above(dottedGreyLine()))
                .add({field(QStringLiteral("n"), 5, 30), field(QStringLiteral("summa"), 120, 40)
                                                             .rightAligned()
                                                             .masked(QStringLiteral("#0.00"))
                                                             .framed(Lines::sides(solidLine()))});
        TableSource rows(QStringLiteral("q"),
                         {QStringLiteral("fio"), QStringLiteral("n"), QStringLiteral("summa")});
        for (int i = 0; i < 12; ++i)
            rows.addRow({i < 6 ? QStringLiteral("Антонов А.А.") : QStringLiteral("Борисов Б.Б."),
                         QStringLiteral("Строка %1").arg(i + 1), 1000.5 * (i + 1)});
        const PreparedReport prepared = Report(layout).prepare(rows);

        const QSize size(794, 1123); // A4 at 96 dpi
        QImage page(size, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            prepared.paintPage(painter, 0, 96, 96);
        }
        const QString reference = QFINDTESTDATA("reference/report_page.png");
        if (qEnvironmentVariableIsSet("TABEL_WRITE_REFERENCE")) {
            QVERIFY(page.save(QStringLiteral(QT_TESTCASE_SOURCEDIR "/reference/report_page.png")));
            return;
        }
        QImage expected(reference);
        QVERIFY2(!expected.isNull(), qPrintable(reference));
        expected = expected.convertToFormat(QImage::Format_RGB32);
        QCOMPARE(expected.size(), size);
        // A pixel differs when a channel is off by more than rounding; the smoothing of edges and
        // glyphs may differ a little, so a few such pixels are allowed.
        int differing = 0;
        int inked = 0;
        for (int y = 0; y < size.height(); ++y) {
            const QRgb *a = reinterpret_cast<const QRgb *>(page.constScanLine(y));
            const QRgb *b = reinterpret_cast<const QRgb *>(expected.constScanLine(y));
            for (int x = 0; x < size.width(); ++x) {
                if (b[x] != qRgb(255, 255, 255))
                    ++inked;
                if (qAbs(qRed(a[x]) - qRed(b[x])) > 8 || qAbs(qGreen(a[x]) - qGreen(b[x])) > 8 ||
                    qAbs(qBlue(a[x]) - qBlue(b[x])) > 8)
                    ++differing;
            }
        }
        QVERIFY(inked > 10000);
        QVERIFY2(
            differing < inked / 100,
            qPrintable(QStringLiteral("%1 of %2 inked pixels differ").arg(differing).arg(inked)));
    }

    // Without a stand-in the pages go to the print preview, shown modally, in Russian, which
    // shows every prepared page in the layout's orientation.
    void previewWindow()
    {
        Layout layout;
        layout.orientation = QPageLayout::Landscape;
        layout.detail = band(80).add(field(QStringLiteral("n"), 0, 20)); // two a page
        TableSource rows(QStringLiteral("q"), {QStringLiteral("n")}, {{1}, {2}, {3}});
        PreparedReport prepared = Report(layout).prepare(rows);
        prepared.title = QStringLiteral("   Отчет");
        QCOMPARE(prepared.pageCount(), 2);
        int pages = -1;
        QStringList actions;
        QPageLayout::Orientation orientation = QPageLayout::Portrait;
        ModalScript modal([&](QDialog &dialog) {
            auto *view = dialog.findChild<QPrintPreviewWidget *>();
            QVERIFY(view);
            view->updatePreview();
            pages = view->pageCount();
            orientation = view->orientation() == QPageLayout::Landscape ? QPageLayout::Landscape
                                                                        : QPageLayout::Portrait;
            for (const QAction *action : dialog.findChildren<QAction *>())
                actions << action->text();
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Отчет"));
        });
        preview(prepared, nullptr);
        QCOMPARE(modal.opened, QList<QString>{QStringLiteral("ReportPreview")});
        QCOMPARE(pages, 2);
        QCOMPARE(orientation, QPageLayout::Landscape);
        QVERIFY2(actions.contains(QStringLiteral("Печать")),
                 qPrintable(actions.join(QLatin1Char('|'))));
    }

    // A change of orientation in the preview prepares the pages again for it: three bands of 80 mm
    // take two landscape pages and one portrait page. The printer and its settings stay for the
    // next preview of the session.
    void previewOrientation()
    {
        Layout layout;
        layout.orientation = QPageLayout::Landscape;
        layout.detail = band(80).add(field(QStringLiteral("n"), 0, 20));
        layout.pageFooter = band(5).add(field(QStringLiteral("PAGENUMBER"), 150, 20));
        const Report report(layout);
        TableSource rows(QStringLiteral("q"), {QStringLiteral("n")}, {{1}, {2}, {3}});
        PreparedReport prepared = report.prepare(rows);
        prepared.title = QStringLiteral("   Отчет по рабочим за период с 01.11.2026 по 01.12.2026");
        QCOMPARE(prepared.pageCount(), 2);
        int portraitPages = -1;
        QPrinter *shown = nullptr;
        ModalScript modal([&](QDialog &dialog) {
            auto *view = dialog.findChild<QPrintPreviewWidget *>();
            QVERIFY(view);
            view->setPortraitOrientation();
            view->updatePreview();
            portraitPages = view->pageCount();
            shown = static_cast<QPrintPreviewDialog &>(dialog).printer();
            shown->setCopyCount(3);
        });
        preview(prepared, nullptr,
                [&](const QPageLayout &paper) { return report.prepare(rows, paper); });
        QCOMPARE(portraitPages, 1);
        QCOMPARE(shown, &sessionPrinter());
        QCOMPARE(sessionPrinter().copyCount(), 3);
        // The print dialog proposes the document's name without what follows its last dot for a
        // PDF's name: the year stays.
        QCOMPARE(sessionPrinter().docName(),
                 QStringLiteral("Отчет по рабочим за период с 01.11.2026 по 01.12.2026.pdf"));
    }

    // Printing a report to PDF proposes the documents folder, where exports go, under the
    // report's name (Qt's own dialog proposes the home folder); once a PDF was saved elsewhere,
    // that folder is proposed, also in a later run.
    void pdfFolder()
    {
        Layout layout;
        layout.detail = band(10).add(field(QStringLiteral("n"), 0, 20));
        TableSource rows(QStringLiteral("q"), {QStringLiteral("n")}, {{1}});
        PreparedReport prepared = Report(layout).prepare(rows);
        prepared.title = QStringLiteral("Отчет по изделиям");
        const QString chosen = QDir(m_dir.path()).filePath(QStringLiteral("Отчеты"));
        QVERIFY(QDir().mkpath(chosen));
        const auto proposedFile = [&](const QString &save) {
            QString proposal;
            ModalScript modal([&](QDialog &dialog) {
                QAction *print = nullptr;
                for (QAction *action : dialog.findChildren<QAction *>()) {
                    if (action->text() == QStringLiteral("Печать"))
                        print = action;
                }
                QVERIFY(print);
                QTimer poll;
                poll.setInterval(10);
                connect(&poll, &QTimer::timeout, &dialog, [&] {
                    auto *printDialog =
                        qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
                    if (!printDialog)
                        return;
                    poll.stop();
                    if (auto *file =
                            printDialog->findChild<QLineEdit *>(QStringLiteral("filename")))
                        proposal = file->text();
                    printDialog->reject();
                });
                poll.start();
                print->trigger();
                // As if the user had printed to this file.
                if (!save.isEmpty()) {
                    QPrinter *printer = static_cast<QPrintPreviewDialog &>(dialog).printer();
                    printer->setOutputFileName(save);
                }
            });
            preview(prepared, nullptr);
            return proposal;
        };
        const QString documents = QDir::toNativeSeparators(
            QDir(XlsxExport::defaultFolder()).filePath(QStringLiteral("Отчет по изделиям.pdf")));
        QCOMPARE(proposedFile(QDir(chosen).filePath(QStringLiteral("март.pdf"))), documents);
        QCOMPARE(proposedFile({}), QDir::toNativeSeparators(QDir(chosen).filePath(
                                       QStringLiteral("Отчет по изделиям.pdf"))));
        // A folder that is gone is not proposed.
        QVERIFY(QDir(chosen).removeRecursively());
        QCOMPARE(proposedFile({}), documents);
        sessionPrinter().setOutputFileName(QString());
    }

private:
    QTemporaryDir m_dir;
};

TABEL_TEST_MAIN(TestReportEngine)
#include "tst_report_engine.moc"
