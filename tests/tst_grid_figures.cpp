#include "app/forms.h"
#include "app/login_dialog.h"
#include "app/startup.h"
#include "catalogues/nomenclature_groups.h"
#include "catalogues/norm_editor.h"
#include "catalogues/operation_kinds.h"
#include "catalogues/operation_prices.h"
#include "catalogues/products.h"
#include "catalogues/workers.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/hour_paid_entries.h"
#include "timesheets/monthly_timesheet.h"
#include "timesheets/shift_timesheet.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <map>

namespace {

const QDate Today(2026, 12, 10);

// The widest values a busy month gives: 40-character names, two-digit day hours, seven-digit
// money, five-digit rejects.
const QString LongWorker = QStringLiteral("Константинопольская-Щербатова Евгения В.");
const QString LongProduct = QStringLiteral("Крышка литая ШЖ-1200/800 молочно-белая М");
const QString LongKind = QStringLiteral("Литьё под давлением с доводкой кромок ШЖ");
const QString LongGroup = QStringLiteral("Крупногабаритные изделия для ЖКХ и дорог");

QFont resolved(const QVariant &font, const QFont &base)
{
    return font.isValid() ? font.value<QFont>().resolve(base) : base;
}

// Every shown cell and title of a grid whose text is wider than the room the style leaves it,
// measured with the font it is drawn in: the user would read it elided or clipped.
QStringList cutTexts(const DataGrid &grid)
{
    QStringList cut;
    const QAbstractItemModel &model = *grid.model();
    const QHeaderView &header = *grid.horizontalHeader();
    // A cell's text room: its section less the grid line and the style's text margins.
    const int margins =
        (grid.showGrid() ? 1 : 0) +
        2 * (grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1);
    for (int column = 0; column < model.columnCount(); ++column) {
        if (grid.isColumnHidden(column))
            continue;
        const QString title = model.headerData(column, Qt::Horizontal).toString().trimmed();
        const QFont titleFont =
            resolved(model.headerData(column, Qt::Horizontal, Qt::FontRole), header.font());
        QStyleOptionHeader option;
        option.initFrom(&header);
        option.state |= QStyle::State_Horizontal;
        option.orientation = Qt::Horizontal;
        option.section = column;
        option.text = title;
        option.rect = QRect(0, 0, header.sectionSize(column), header.height());
        option.sortIndicator =
            header.isSortIndicatorShown() && header.sortIndicatorSection() == column
                ? QStyleOptionHeader::SortDown
                : QStyleOptionHeader::None;
        const int titleRoom =
            header.style()->subElementRect(QStyle::SE_HeaderLabel, &option, &header).width();
        const qreal titleWidth = QFontMetricsF(titleFont).horizontalAdvance(title);
        if (titleWidth > titleRoom)
            cut << QStringLiteral("title \"%1\": %2 pixels in %3")
                       .arg(title)
                       .arg(titleWidth)
                       .arg(titleRoom);
        const int room = grid.columnWidth(column) - margins;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row, column);
            const QString text = index.data().toString();
            const qreal width = QFontMetricsF(resolved(index.data(Qt::FontRole), grid.font()))
                                    .horizontalAdvance(text);
            if (width > room)
                cut << QStringLiteral("row %1 of \"%2\": \"%3\", %4 pixels in %5")
                           .arg(row + 1)
                           .arg(title, text)
                           .arg(width)
                           .arg(room);
        }
    }
    return cut;
}

int columnOfTitle(const DataGrid &grid, const QString &title)
{
    for (int column = 0; column < grid.model()->columnCount(); ++column)
        if (grid.model()->headerData(column, Qt::Horizontal).toString() == title)
            return column;
    return -1;
}

// A click on a column title, as the user gives it.
void clickTitle(DataGrid &grid, int column)
{
    grid.scrollTo(grid.model()->index(0, column));
    QHeaderView *header = grid.horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

QStringList columnTexts(const DataGrid &grid, int column, int rows)
{
    QStringList texts;
    for (int row = 0; row < std::min(rows, grid.model()->rowCount()); ++row)
        texts << grid.model()->index(row, column).data().toString();
    return texts;
}

} // namespace

// Every figure and title of every grid reads whole on the screen, and a click on a column title
// sorts the rows. The print and the workbook always showed the figures whole; the screen cut them
// ("10" read "…", "27793,…", "ена (min") when the font and the cell padding were wider than the
// described widths were laid out for.
class TestGridFigures : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        Clock::set(QDateTime(Today, QTime(9, 0)));
        m_db = std::make_unique<TestDatabase>(QStringLiteral("grid_figures"));
        auto dm = m_db->connect();
        seedBusyMonth(*dm);
        // The longest caption a build gives the login dialog.
        m_program = std::make_unique<RunningProgram>(*m_db, BuildStamp{20261231, 86399});
        QVERIFY(m_program->started());
    }
    void cleanupTestCase()
    {
        m_program.reset();
        m_db.reset();
        Clock::set({});
    }

    // Each grid of each window, opened as the user opens it, over the widest values.
    void figuresReadWhole_data()
    {
        QTest::addColumn<QString>("grid");
        for (const auto &[name, open] : openers())
            QTest::newRow(qPrintable(name)) << name;
    }
    void figuresReadWhole()
    {
        QFETCH(QString, grid);
        bool checked = false;
        openers().at(grid)([&](DataGrid &shown) {
            QVERIFY2(shown.model()->rowCount() > 0, "the grid shows no rows");
            const QStringList cut = cutTexts(shown);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
            checked = true;
        });
        QVERIFY(checked);
    }

    // The monthly timesheet's money of the month under the grid reads whole in every mode.
    void footerTotalsReadWhole_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("piece-work") << TForm27::PieceWork;
        QTest::newRow("overall") << TForm27::Overall;
    }
    void footerTotalsReadWhole()
    {
        QFETCH(int, mode);
        TForm27 &window = forms().Form27;
        bool checked = false;
        ModalScript script([&](QDialog &dialog) {
            showNow(dialog);
            for (QLabel *total : {window.DBText1, window.DBText2, window.DBText3, window.DBText4}) {
                QVERIFY(!total->text().isEmpty());
                QVERIFY2(
                    total->width() >= total->sizeHint().width(),
                    qPrintable(total->accessibleName() + QStringLiteral(": ") + total->text()));
            }
            checked = true;
            dialog.hide();
        });
        window.showMode(mode, nullptr);
        QVERIFY(checked);
    }

    // The shift log at its described size shows every column of the day's rows, the widest
    // included, without a horizontal scroll bar.
    void shiftLogFitsItsDescribedSize()
    {
        TForm1 &log = m_program->mainWindow();
        log.FormActivate();
        log.RadioButton1->setChecked(true);
        showNow(log);
        log.resize(1281, 585);
        QCoreApplication::processEvents();
        DataGrid &grid = *log.DBGrid2;
        QVERIFY(grid.model()->rowCount() > 0);
        const QHeaderView &header = *grid.horizontalHeader();
        QVERIFY2(header.length() <= grid.viewport()->width(),
                 qPrintable(QStringLiteral("%1 pixels of columns in %2")
                                .arg(header.length())
                                .arg(grid.viewport()->width())));
        QVERIFY(!grid.horizontalScrollBar()->isVisible());
        log.hide();
    }

    // The login dialog's caption with the build reads whole in the title bar's font, beside the
    // window's icon and the title bar's buttons.
    void loginCaptionReadsWhole()
    {
        TForm23 &login = m_program->loginDialog();
        login.FormActivate();
        QCOMPARE(login.windowTitle(), QStringLiteral("Авторизация (build: 20261231.86399)"));
        QFont titleFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
        titleFont.setBold(true);
        constexpr int iconAndButtons = 100;
        QVERIFY(login.width() >=
                QFontMetrics(titleFont).horizontalAdvance(login.windowTitle()) + iconAndButtons);
    }

    // A click on a column title sorts the rows by it, a second click the other way round; the
    // title shows the order and the record the user was on stays current. Numbers sort as numbers
    // ("8" before "10"), names in Russian order with "ё" as "е" and capitals with small letters.
    void sortByTitle_data()
    {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QStringList>("first"); // the column's first rows after the clicks
        QTest::addColumn<QString>("current");   // a name, current before and after

        QTest::newRow("workers by name")
            << QStringLiteral("TForm5 catalogue") << QStringLiteral("ФИО") << 1
            << QStringList{QStringLiteral("Борисов Б.Б."), QStringLiteral("Ёжиков П.Д."),
                           QStringLiteral("ежов а.а."), QStringLiteral("Ильина И.И.")}
            << QStringLiteral("Ильина И.И.");
        QTest::newRow("workers by name, again")
            << QStringLiteral("TForm5 catalogue") << QStringLiteral("ФИО") << 2
            << QStringList{QStringLiteral("Яковлев Я.Я."), LongWorker,
                           QStringLiteral("Ильина И.И.")}
            << QStringLiteral("ежов а.а.");
        QTest::newRow("shift log by hours")
            << QStringLiteral("TForm1 shift 1") << QStringLiteral("Часы") << 1
            << QStringList{QStringLiteral("8"), QStringLiteral("10"), QStringLiteral("12")}
            << QStringLiteral("Борисов Б.Б.");
        QTest::newRow("shift log by money, again")
            << QStringLiteral("TForm1 shift 1") << QStringLiteral("Итого (р.)") << 2
            << QStringList{QStringLiteral("1749975"), QStringLiteral("6000"), QStringLiteral("150")}
            << QStringLiteral("Ильина И.И.");
        QTest::newRow("shift log by name")
            << QStringLiteral("TForm1 shift 1") << QStringLiteral("Фамилия И.О.") << 1
            << QStringList{QStringLiteral("Борисов Б.Б."), QStringLiteral("Ильина И.И."),
                           LongWorker}
            << LongWorker;
        QTest::newRow("piece-work timesheet by a day")
            << QStringLiteral("TForm27 piece-work") << QStringLiteral("10") << 1
            << QStringList{QStringLiteral("8"), QStringLiteral("11"), QStringLiteral("22")}
            << QStringLiteral("Борисов Б.Б.");
        QTest::newRow("piece-work timesheet by money, again")
            << QStringLiteral("TForm27 piece-work") << QStringLiteral("Итого (р.)") << 2
            << QStringList{QStringLiteral("6999900"), QStringLiteral("6000"), QStringLiteral("150")}
            << QStringLiteral("Ильина И.И.");
        QTest::newRow("timesheet by shifts by a day")
            << QStringLiteral("TForm19 shift 1") << QStringLiteral("10") << 1
            << QStringList{QStringLiteral("8"), QStringLiteral("12")} << LongWorker;
    }
    void sortByTitle()
    {
        QFETCH(QString, grid);
        QFETCH(QString, title);
        QFETCH(int, clicks);
        QFETCH(QStringList, first);
        QFETCH(QString, current);
        bool checked = false;
        openers().at(grid)([&](DataGrid &shown) {
            Dataset &rows = shown.gridModel()->dataset();
            const QString nameField = shown.gridModel()->columns().at(0).field;
            QVERIFY(rows.locate(nameField, current));
            const int column = columnOfTitle(shown, title);
            QVERIFY(column >= 0);
            for (int click = 0; click < clicks; ++click)
                clickTitle(shown, column);
            QCOMPARE(columnTexts(shown, column, int(first.size())), first);
            const QHeaderView *header = shown.horizontalHeader();
            QVERIFY(header->isSortIndicatorShown());
            QCOMPARE(header->sortIndicatorSection(), column);
            QCOMPARE(header->sortIndicatorOrder(),
                     clicks == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
            QCOMPARE(rows.text(nameField), current);
            QCOMPARE(shown.currentIndex().row(), rows.recNo() - 1);
            // The sorted column's title keeps its room beside the arrow; every figure stays whole.
            const QStringList cut = cutTexts(shown);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
            // Read again, the rows keep the order.
            rows.reopen();
            QCOMPARE(columnTexts(shown, column, int(first.size())), first);
            rows.setSortField(QString());
            checked = true;
        });
        QVERIFY(checked);
    }

private:
    using Check = std::function<void(DataGrid &)>;
    using Opener = std::function<void(const Check &)>;

    Forms &forms() { return m_program->forms(); }

    static void showNow(QDialog &dialog)
    {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }

    // Opens a modal window through its own entry point and checks a grid of it while it is shown.
    static void whileShown(const std::function<void()> &open, const std::function<void()> &check)
    {
        ModalScript script([&](QDialog &dialog) {
            showNow(dialog);
            check();
            dialog.hide();
        });
        open();
        QCOMPARE(script.opened.size(), 1);
    }

    // Every grid of every window, by a name, with how the user opens it.
    std::map<QString, Opener> openers()
    {
        std::map<QString, Opener> all;
        for (int shift = 1; shift <= 4; ++shift) {
            all[QStringLiteral("TForm1 shift %1").arg(shift)] = [this, shift](const Check &check) {
                TForm1 &log = m_program->mainWindow();
                log.FormActivate();
                QRadioButton *buttons[] = {log.RadioButton1, log.RadioButton2, log.RadioButton3,
                                           log.RadioButton4};
                buttons[shift - 1]->setChecked(true);
                showNow(log);
                check(*log.DBGrid2);
                log.RadioButton1->setChecked(true);
                log.hide();
            };
        }
        for (int shift = 1; shift <= 3; ++shift) {
            all[QStringLiteral("TForm19 shift %1").arg(shift)] = [this, shift](const Check &check) {
                TForm19 &window = forms().Form19;
                whileShown([&] { window.showMonth(Today, nullptr); },
                           [&] {
                               window.PageControl1->setCurrentIndex(shift - 1);
                               DataGrid *grids[] = {window.DBGrid1, window.DBGrid2, window.DBGrid3};
                               check(*grids[shift - 1]);
                           });
                window.PageControl1->setCurrentIndex(0);
            };
        }
        const std::pair<const char *, int> modes[] = {
            {"piece-work", TForm27::PieceWork},
            {"household works", TForm27::HouseholdWorks},
            {"average piece rate", TForm27::AveragePieceRate},
            {"overall", TForm27::Overall}};
        for (const auto &[name, mode] : modes) {
            all[QStringLiteral("TForm27 ") + QLatin1String(name)] = [this, mode = mode](
                                                                        const Check &check) {
                TForm27 &window = forms().Form27;
                whileShown([&] { window.showMode(mode, nullptr); }, [&] { check(*window.DBGrid); });
            };
        }
        const std::pair<const char *, CatalogueList *> lists[] = {{"TForm5", &forms().Form5},
                                                                  {"TForm3", &forms().Form3},
                                                                  {"TForm4", &forms().Form4},
                                                                  {"TForm8", &forms().Form8},
                                                                  {"TForm26", &forms().Form26}};
        for (const auto &[name, list] : lists) {
            all[QLatin1String(name) + QStringLiteral(" catalogue")] = [list = list](
                                                                          const Check &check) {
                whileShown([&] { list->runAsCatalogue(nullptr); }, [&] { check(*list->DBGrid1); });
            };
            all[QLatin1String(name) + QStringLiteral(" picker")] = [list =
                                                                        list](const Check &check) {
                whileShown([&] { list->runAsPicker(1, nullptr); }, [&] { check(*list->DBGrid1); });
            };
        }
        all[QStringLiteral("TForm22 norms")] = [this](const Check &check) {
            whileShown([&] { forms().Form22.showNorms(m_operation, nullptr); },
                       [&] { check(*forms().Form22.DBGrid1); });
        };
        all[QStringLiteral("TForm25 hour-paid entries")] = [this](const Check &check) {
            whileShown([&] { forms().Form25.showForDay(Today, nullptr); },
                       [&] { check(*forms().Form25.DBGrid1); });
        };
        return all;
    }

    void seedBusyMonth(TDataModule6 &dm)
    {
        const qint64 longWorker = seed::worker(dm, LongWorker);
        const qint64 ilyina = seed::worker(dm, QStringLiteral("Ильина И.И."));
        const qint64 borisov = seed::worker(dm, QStringLiteral("Борисов Б.Б."));
        for (const char *name : {"Ёжиков П.Д.", "ежов а.а.", "Яковлев Я.Я."})
            seed::worker(dm, QString::fromUtf8(name));
        const qint64 product = seed::product(dm, LongProduct, 12345.5);
        const qint64 group = seed::group(dm, LongGroup);
        seed::setGroup(dm, product, group);
        const qint64 kind = seed::kind(dm, LongKind);
        m_operation = seed::operation(dm, kind, product, 0, {9999.99, 1234.5678});
        const qint64 blanks = seed::operation(dm, kind, product, 1, {25});
        TestDatabase::exec(dm, QStringLiteral("update accounts_dep.norm set norma=99999, prize=100 "
                                              "where o_id=%1")
                                   .arg(m_operation));

        // The day's shift log: in every shift a seven-digit sum with five-digit rejects.
        for (int shift = 1; shift <= 4; ++shift)
            seed::entry(dm, {.worker = longWorker,
                             .product = product,
                             .operation = blanks,
                             .day = Today,
                             .shift = shift,
                             .hours = 12,
                             .pieces = 99999,
                             .rejects = 30000,
                             .price = 25});
        seed::entry(dm, {.worker = ilyina,
                         .product = product,
                         .operation = blanks,
                         .day = Today,
                         .hours = 8,
                         .pieces = 100,
                         .price = 1.5,
                         .ok = QStringLiteral("да")});
        seed::entry(dm, {.worker = borisov,
                         .product = product,
                         .operation = blanks,
                         .day = Today,
                         .hours = 10,
                         .pieces = 2000,
                         .price = 3});

        // The month's rows: two-digit hours on every day; on the 10th 8, 11 and 12 + 10. They are
        // the fixture's own, not those posted from the entries above.
        TestDatabase::exec(dm, QStringLiteral("delete from accounts_dep.h_tabel"));
        const auto everyDay = [&](qint64 worker, int shift, int hours, int type = 0,
                                  bool night = false) {
            seed::monthRow(dm, worker, Today.month(), Today.year(), shift, {{1, hours}}, type,
                           night);
            QStringList days;
            for (int day = 2; day <= 31; ++day)
                days << QStringLiteral("d%1=%2").arg(day).arg(hours);
            TestDatabase::exec(dm,
                               QStringLiteral("update accounts_dep.h_tabel set %1 where w_id=%2 "
                                              "and smena=%3 and i_type=%4 and i_night=%5")
                                   .arg(days.join(QLatin1Char(',')))
                                   .arg(worker)
                                   .arg(shift)
                                   .arg(type)
                                   .arg(night ? 1 : 0));
        };
        everyDay(longWorker, 1, 12);
        everyDay(longWorker, 2, 10);
        everyDay(borisov, 3, 11);
        seed::monthRow(dm, ilyina, Today.month(), Today.year(), 1, {{10, 8}});
        everyDay(longWorker, 1, 16, 7777, false);
        everyDay(longWorker, 1, 16, 7777, true);
        everyDay(longWorker, 1, 16, 7778, false);
        // Hour-paid entries of every day at a four-digit price: seven-digit money a month.
        TestDatabase::exec(
            dm, QStringLiteral("insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, "
                               "i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night) select "
                               "%1, k.kind, %2, d::date, 12, 2026, 1, 16, 9999.99, 0, k.night "
                               "from generate_series('2026-12-01'::date, '2026-12-31'::date, "
                               "'1 day') d, (values (7777, 0), (7777, 1), (7778, 0)) k(kind, "
                               "night)")
                    .arg(group)
                    .arg(longWorker));
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<RunningProgram> m_program;
    qint64 m_operation = 0;
};

TABEL_TEST_MAIN(TestGridFigures)
#include "tst_grid_figures.moc"
