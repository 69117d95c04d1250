#include "db/data_module.h"
#include "reports/hours_table_layout.h"
#include "reports/period_layouts.h"
#include "reports/summary_reports.h"
#include "support/recorders.h"
#include "support/report_capture.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "support/workbook.h"
#include "ui/clock.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Counts how often the opener's activation handler ran.
class Opener : public ActivationHandler
{
public:
    void FormActivate() override { ++activations; }
    int activations = 0;
};

} // namespace

// The summary reports window: its controls, the role restrictions, the previous-month preset of
// the main menu, the four report buttons with their titles and the product kind choice, and the
// product summary export with its rows, colour texts and progress caption.
//
// The small shop's entries, Антонов's, shift 1, 8 hours, at 2 a piece, accepted: КР-1 белая
// (finished) cast on 01.02 100 pieces 4 rejects, painted colour 1 on 10.02 20 pieces 2 rejects
// and colour 3 on 11.02 50 pieces; ЯЩ-2 (blanks) cast on 12.02 30 pieces; one more КР-1 белая
// cast on 01.03, the end of the period, 1000 pieces.
class TestSummaryReports : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY(m_dir.isValid());
        m_db = std::make_unique<TestDatabase>(QStringLiteral("summary_reports"));
        m_dm = m_db->connect();
        TDataModule6 &dm = *m_dm;
        const seed::SmallShop s = seed::smallShop(dm);
        const auto entry = [&](qint64 product, qint64 operation, QDate day, int pieces, int rejects,
                               int color) {
            seed::entry(dm, {s.antonov, product, operation, day, 1, 8, pieces, rejects, 2,
                             QStringLiteral("ok"), color});
        };
        entry(s.lid, s.castLid, QDate(2024, 2, 1), 100, 4, 0);
        entry(s.lid, s.paintLid, QDate(2024, 2, 10), 20, 2, 1);
        entry(s.lid, s.paintLid, QDate(2024, 2, 11), 50, 0, 3);
        entry(s.box, s.castBox, QDate(2024, 2, 12), 30, 0, 0);
        entry(s.lid, s.castLid, QDate(2024, 3, 1), 1000, 0, 0);
    }
    void cleanupTestCase()
    {
        m_dm.reset();
        m_db.reset();
    }
    void init()
    {
        m_form15 = std::make_unique<TForm15>(*m_dm);
        m_form16 = std::make_unique<TForm16>(*m_dm);
        m_form17 = std::make_unique<TForm17>(*m_dm);
        m_form20 = std::make_unique<TForm20>(*m_dm);
        m_form21 = std::make_unique<TForm21>(*m_dm);
        m_window = std::make_unique<TForm18>(*m_dm, *m_form16, *m_form17, *m_form20, *m_form21);
        XlsxExport::setFolder(m_dir.path());
    }
    void cleanup()
    {
        XlsxExport::setFolder({});
        m_window.reset();
        m_form21.reset();
        m_form20.reset();
        m_form17.reset();
        m_form16.reset();
        m_form15.reset();
        Clock::set({});
    }

    // The controls as the office knows them: captions, the product kinds with "Все" chosen, the
    // two date pickers with their labels, the export caption before any export.
    void controls()
    {
        TForm18 &w = *m_window;
        QCOMPARE(w.windowTitle(), QStringLiteral("Отчеты (8)"));
        QCOMPARE(w.RadioGroup1->title(), QStringLiteral("Вид продукции"));
        QCOMPARE(w.RadioGroup1->item(0)->text(), QStringLiteral("Все"));
        QCOMPARE(w.RadioGroup1->item(1)->text(), QStringLiteral("Готовая продукция"));
        QCOMPARE(w.RadioGroup1->item(2)->text(), QStringLiteral("Заготовки"));
        QCOMPARE(w.RadioGroup1->itemIndex(), 0);
        QCOMPARE(w.GroupBox1->title(), QStringLiteral("Период отбора"));
        const QList<QLabel *> labels = w.GroupBox1->findChildren<QLabel *>();
        QCOMPARE(labels.size(), 2);
        QCOMPARE(labels.at(0)->text(), QStringLiteral("с"));
        QCOMPARE(labels.at(0)->buddy(), w.DTPicker1);
        QCOMPARE(labels.at(1)->text(), QStringLiteral("по"));
        QCOMPARE(labels.at(1)->buddy(), w.DTPicker2);
        const QList<QPair<QPushButton *, QString>> buttons = {
            {w.Button4, "Отчет по рабочим"},
            {w.Button2, "Отчет по продукции"},
            {w.Button1, "Детальный отчет по рабочим"},
            {w.Button3, "Детальный отчет по продукции"},
            {w.Button7, "Графики"},
            {w.Button6, "Excel (0 из 0)"},
            {w.Button5, "Выход"}};
        for (const auto &[button, caption] : buttons)
            QCOMPARE(button->text(), caption);
        for (const char *name : {"RadioGroup1", "GroupBox1", "DTPicker1", "DTPicker2", "Button1",
                                 "Button2", "Button3", "Button4", "Button5", "Button6"})
            QVERIFY2(w.findChild<QWidget *>(QLatin1String(name)), name);

        // "Выход" and Esc close the dialog.
        ModalScript modal([&](QDialog &dialog) {
            w.Button5->click();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        });
        m_window->showFromMenu(nullptr);
        QCOMPARE(modal.opened, QList<QString>{QStringLiteral("TForm18")});
    }

    // What each role leaves usable; "Детальный отчет по продукции" and "Выход" always stay.
    void roles_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("reports");
        QTest::addColumn<bool>("kindChoice");
        QTest::addColumn<int>("kind");
        QTest::newRow("full access") << int(Role::Full) << true << true << 2;
        QTest::newRow("planning") << int(Role::Planning) << true << true << 2;
        QTest::newRow("foremen") << int(Role::Foremen) << false << true << 2;
        QTest::newRow("warehouse") << int(Role::Warehouse) << false << false << 1;
    }
    void roles()
    {
        QFETCH(int, role);
        QFETCH(bool, reports);
        QFETCH(bool, kindChoice);
        QFETCH(int, kind);
        TForm18 &w = *m_window;
        w.RadioGroup1->setItemIndex(2);
        w.applyRole(Role(role));
        for (QPushButton *button : {w.Button1, w.Button2, w.Button4, w.Button6})
            QCOMPARE(button->isEnabled(), reports);
        QVERIFY(w.Button3->isEnabled());
        // Whoever may open the window may look at the charts.
        QVERIFY(w.Button7->isEnabled());
        QVERIFY(w.Button5->isEnabled());
        QCOMPARE(w.RadioGroup1->isEnabled(), kindChoice);
        QCOMPARE(w.RadioGroup1->itemIndex(), kind);
        QVERIFY(w.DTPicker1->isEnabled());
        QVERIFY(w.DTPicker2->isEnabled());

        // The warehouse prints the detailed product report of finished products only.
        if (Role(role) == Role::Warehouse) {
            PreviewCapture capture(m_dir.path());
            w.DTPicker1->setDate(QDate(2024, 2, 1));
            w.DTPicker2->setDate(QDate(2024, 3, 1));
            w.Button3->click();
            QCOMPARE(capture.files.size(), 1);
            const QStringList lines = pdf::lines(capture.files.first());
            QVERIFY2(!lines.join(QLatin1Char('\n')).contains(QStringLiteral("Заготовки")),
                     qPrintable(lines.join('\n')));
            QVERIFY2(lines.join(QLatin1Char('\n')).contains(QStringLiteral("Готовая продукция")),
                     qPrintable(lines.join('\n')));
        }
    }

    // The main menu's preset: the previous calendar month, in January December of the year before;
    // the dialog is shown modally and the opener is told when it closes.
    void previousMonthPreset_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::newRow("January") << QDate(2024, 1, 15) << QDate(2023, 12, 1) << QDate(2024, 1, 1);
        QTest::newRow("first of March, leap year")
            << QDate(2024, 3, 1) << QDate(2024, 2, 1) << QDate(2024, 3, 1);
        QTest::newRow("last of December")
            << QDate(2024, 12, 31) << QDate(2024, 11, 1) << QDate(2024, 12, 1);
    }
    void previousMonthPreset()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        Clock::set(QDateTime(today, QTime(9, 30)));
        m_window->DTPicker1->setDate(QDate(2020, 5, 5));
        QDate shownFrom, shownTo;
        ModalScript modal([&](QDialog &) {
            shownFrom = m_window->DTPicker1->date();
            shownTo = m_window->DTPicker2->date();
        });
        Opener opener;
        m_window->showFromMenu(&opener);
        QCOMPARE(modal.opened, QList<QString>{QStringLiteral("TForm18")});
        QCOMPARE(shownFrom, from);
        QCOMPARE(shownTo, to);
        QCOMPARE(opener.activations, 1);
    }

    // Each report button prints its layout for the period shown, with its title, through the
    // preview; the product kind choice reaches the rows.
    void reportButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("present");
        QTest::addColumn<QString>("absent");
        QTest::newRow("by workers")
            << "Button4" << 0 << "Отчет по рабочим за период с 01.02.2024 по 01.03.2024"
            << "Заготовки Литьё 30 60,000"
            << "";
        QTest::newRow("by products, finished")
            << "Button2" << 1
            << "Отчет по продукции за период с 01.02.2024 по 01.03.2024 Коробки Количество"
            << "Готовая продукция Покраска (RAL: 3) 25 50"
            << "Заготовки";
        QTest::newRow("detailed by workers, blanks")
            << "Button1" << 2 << "Детальный отчет по рабочим за период с 01.02.2024 по 01.03.2024"
            << "ЯЩ-2 Литьё 0 Заготовки 8 0 30 60,00"
            << "КР-1";
        QTest::newRow("detailed by products")
            << "Button3" << 0
            << "Детальный отчет по продукции за период с 01.02.2024 по 01.03.2024 Брак Коробки "
               "Кол-во Сумма"
            << "Итого: 6 145 200 388,00"
            << "";
    }
    void reportButtons()
    {
        QFETCH(QString, button);
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(QString, present);
        QFETCH(QString, absent);
        TForm18 &w = *m_window;
        w.RadioGroup1->setItemIndex(kind);
        w.DTPicker1->setDate(QDate(2024, 2, 1));
        w.DTPicker2->setDate(QDate(2024, 3, 1));
        MessageRecorder messages;
        PreviewCapture capture(m_dir.path());
        w.findChild<QPushButton *>(button)->click();
        QCOMPARE(messages.texts(), QStringList());
        QCOMPARE(capture.files.size(), 1);
        const QStringList lines = pdf::lines(capture.files.first());
        QCOMPARE(lines.first(), title);
        // The title label begins with three blanks, as the window sets it.
        QVERIFY(capture.titles.first().startsWith(QStringLiteral("   ") + title.left(20)));
        QVERIFY2(lines.contains(present),
                 qPrintable(present + QLatin1Char('\n') + lines.join('\n')));
        if (!absent.isEmpty())
            QVERIFY2(!lines.join(QLatin1Char('\n')).contains(absent), qPrintable(lines.join('\n')));
    }

    // A report whose query fails shows the error in one box and no preview.
    void failingReport()
    {
        m_form16->t_Report.setSql(QStringLiteral("select * from accounts_dep.no_such_table"));
        MessageRecorder messages;
        PreviewCapture capture(m_dir.path());
        m_window->Button4->click();
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown.first().kind, messages::Kind::Error);
        QVERIFY(capture.files.isEmpty());
    }

    // The product summary: a header row, then one row per product, operation, colour and kind,
    // the colour in the operation's text, boxes and good pieces as numbers; the end day of the
    // period left out; the caption ends with both counts equal.
    void exportRows_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("rows");
        const QString header = QStringLiteral("Наименование|Операция|Вид продукции|Коробки|Кол-во");
        QTest::newRow("all") << 0
                             << QStringList{header, "Крышки|Литьё|Готовая продукция|48|96",
                                            "Крышки|Покраска (грунт)|Готовая продукция|9|18",
                                            "Крышки|Покраска (цвет: 3)|Готовая продукция|25|50",
                                            "Ящики|Литьё|Заготовки|60|30"};
        QTest::newRow("blanks") << 2 << QStringList{header, "Ящики|Литьё|Заготовки|60|30"};
    }
    void exportRows()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, rows);
        TForm18 &w = *m_window;
        w.RadioGroup1->setItemIndex(kind);
        w.DTPicker1->setDate(QDate(2024, 2, 1));
        w.DTPicker2->setDate(QDate(2024, 3, 1));
        OpenerRecorder opener;
        w.Button6->click();
        QCOMPARE(opener.opened.size(), 1);
        const QJsonObject book = readBack(opener.opened.first());
        QStringList written;
        for (int row = 1; !cellText(book, 1, row).isEmpty(); ++row) {
            QStringList cells;
            for (int column = 1; column <= 5; ++column)
                cells << cellText(book, column, row);
            written << cells.join(QLatin1Char('|'));
        }
        // Rows of one product come in no particular order of operation.
        std::sort(written.begin() + 1, written.end());
        QCOMPARE(written, rows);
        QCOMPARE(cellAt(book, 4, 2).value(QStringLiteral("type")).toString(), QStringLiteral("n"));
        QCOMPARE(cellAt(book, 5, 2).value(QStringLiteral("type")).toString(), QStringLiteral("n"));
        const int count = int(rows.size()) - 1;
        QCOMPARE(w.Button6->text(), QStringLiteral("Excel (%1 из %1)").arg(count));
        QVERIFY(!w.XLS_Rep.isOpen());
        QVERIFY(w.isEnabled());
    }

    // A workbook that cannot be created stops the export with its message and the query closed;
    // the next export takes the period shown then. An empty period exports the header row only.
    void exportAfterFailure()
    {
        TForm18 &w = *m_window;
        w.DTPicker1->setDate(QDate(2024, 2, 1));
        w.DTPicker2->setDate(QDate(2024, 3, 1));
        XlsxExport::setFolder(m_dir.filePath(QStringLiteral("missing/folder")));
        MessageRecorder messages;
        OpenerRecorder opener;
        w.Button6->click();
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Ошибка открытия файла Microsoft Excel.")});
        QVERIFY(opener.opened.isEmpty());
        QVERIFY(!w.XLS_Rep.isOpen());
        QCOMPARE(w.Button6->text(), QStringLiteral("Excel (0 из 0)"));
        QVERIFY(!QGuiApplication::overrideCursor());

        XlsxExport::setFolder(m_dir.path());
        w.DTPicker1->setDate(QDate(2024, 3, 1));
        w.DTPicker2->setDate(QDate(2024, 4, 1));
        w.Button6->click();
        QCOMPARE(opener.opened.size(), 1);
        const QJsonObject book = readBack(opener.opened.first());
        QCOMPARE(cellText(book, 1, 2), QStringLiteral("Крышки"));
        QCOMPARE(cellText(book, 5, 2), QStringLiteral("1000"));
        QCOMPARE(cellText(book, 1, 3), QString());
        QCOMPARE(w.Button6->text(), QStringLiteral("Excel (1 из 1)"));

        w.DTPicker1->setDate(QDate(2024, 4, 1));
        w.DTPicker2->setDate(QDate(2024, 4, 1));
        w.Button6->click();
        QCOMPARE(opener.opened.size(), 2);
        const QJsonObject empty = readBack(opener.opened.last());
        QCOMPARE(cellText(empty, 1, 1), QStringLiteral("Наименование"));
        QCOMPARE(cellText(empty, 1, 2), QString());
        QCOMPARE(w.Button6->text(), QStringLiteral("Excel (0 из 0)"));
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<TForm15> m_form15;
    std::unique_ptr<TForm16> m_form16;
    std::unique_ptr<TForm17> m_form17;
    std::unique_ptr<TForm20> m_form20;
    std::unique_ptr<TForm21> m_form21;
    std::unique_ptr<TForm18> m_window;
};

TABEL_TEST_MAIN(TestSummaryReports)
#include "tst_summary_reports.moc"
