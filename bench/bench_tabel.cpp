// Every benchmark of the program on the large shop that scripts/bench generates, and again on the
// shop four times as large grown from it: the month rebuilds against their statement-by-statement
// reference, the queries the windows run when they open or change day or month, the search of the
// worker list, the period reports, the exports, start-up and the memory of a working session. Each
// case runs in a process of its own.
//
//   scripts/bench                         generate the data once, build Release, run everything
//   build-release/bench/bench_tabel [--runs N] [--only NAME,...] [--out FILE] [--larger DATABASE]
//                                         with PGHOST/PGDATABASE of a cluster already started

#include "app/forms.h"
#include "app/login_dialog.h"
#include "app/startup.h"
#include "bench/bench_charts.h"
#include "bench/bench_save.h"
#include "bench/delay_proxy.h"
#include "bench/harness.h"
#include "bench/reference_rebuild.h"
#include "catalogues/operation_prices.h"
#include "catalogues/workers.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "output/xlsx_export.h"
#include "reports/period_layouts.h"
#include "reports/summary_reports.h"
#include "shiftlog/shift_entry_editor.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "timesheets/month_rebuild.h"
#include "timesheets/monthly_timesheet.h"
#include "timesheets/shift_timesheet.h"
#include "ui/data_grid.h"
#include "ui/modal.h"
#include "ui/termination.h"

#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <optional>
#include <tuple>

#include <time.h>

using bench::Run;
using bench::Target;

namespace {

// What the office waits for when a window opens or changes day or month, and per keystroke. A
// window query shows the same rows on the shop four times as large and may take at most half as
// long again there; the worker list's own rows grow with the shop.
const Target WindowQuery{0.150, false, 1.5};
const Target Keystroke{0.030};

std::unique_ptr<TDataModule6> connectTo(const Run &run, const QString &database)
{
    auto dm = std::make_unique<TDataModule6>();
    dm->ADO_DB.setConnectionString(connection::build(database, run.server()));
    dm->ADO_DB.open();
    return dm;
}

std::unique_ptr<TDataModule6> connect(const Run &run)
{
    return connectTo(run, run.database());
}

QString one(TDataModule6 &dm, const QString &sql)
{
    Dataset query(dm.ADO_DB);
    query.setSql(sql);
    query.open();
    return query.textAt(0, 0);
}

// The day with the most shift entries, and the month with the most, of the shop the run focuses
// on: the larger shop is measured on the same day and month as the shop it was grown from.
QDate busiestDay(const Run &run)
{
    auto dm = connectTo(run, run.focusDatabase());
    return QDate::fromString(one(*dm, QStringLiteral("select data::text from accounts_dep.smena "
                                                     "group by data order by count(*) desc, data "
                                                     "desc limit 1")),
                             Qt::ISODate);
}

QDate busiestMonthOf(TDataModule6 &dm)
{
    return QDate::fromString(
        one(dm, QStringLiteral("select date_trunc('month', data)::date::text from "
                               "accounts_dep.smena group by 1 order by count(*) desc, 1 desc "
                               "limit 1")),
        Qt::ISODate);
}

QDate busiestMonth(const Run &run)
{
    auto dm = connectTo(run, run.focusDatabase());
    return busiestMonthOf(*dm);
}

// The program as a user starts it, with the stamp the database already carries so that the
// version check passes without raising it; the version timer is stopped.
class Session
{
public:
    explicit Session(const Run &run)
        : Session(run, stampOf(run), run.server())
    {}
    Session(const Run &run, const BuildStamp &stamp, const QString &server)
        : Session(stamp, run.database(), server)
    {}
    // The program on another database of the cluster.
    Session(const Run &run, const QString &database)
        : Session(stampOf(run, database), database, run.server())
    {}
    Session(const BuildStamp &stamp, const QString &database, const QString &server)
        : m_program(stamp, {database, server})
    {
        if (!m_program.start())
            throw DbError(QStringLiteral("the program did not start on %1").arg(database));
        m_program.mainWindow().Timer1->stop();
    }

    static BuildStamp stampOf(const Run &run) { return stampOf(run, run.database()); }
    static BuildStamp stampOf(const Run &run, const QString &database)
    {
        auto dm = connectTo(run, database);
        Dataset ver(dm->ADO_DB);
        ver.setSql(QStringLiteral("select d, t from accounts_dep.ver limit 1"));
        ver.open();
        return {int(ver.integer(QStringLiteral("d"))), int(ver.integer(QStringLiteral("t")))};
    }

    Program &program() { return m_program; }
    Forms &forms() { return m_program.forms(); }
    TDataModule6 &dm() { return m_program.dataModule(); }

private:
    Program m_program;
};

void dataSet(Run &run)
{
    auto dm = connect(run);
    const auto count = [&](const char *table) {
        return one(*dm, QStringLiteral("select count(*) from %1").arg(QLatin1String(table)));
    };
    run.note(QStringLiteral("data: %1 workers, %2 products, %3 operations, %4 shift entries, %5 "
                            "hour-paid entries, %6 monthly rows, entries from %7 to %8")
                 .arg(count("accounts_dep.person"), count("cmn_gds_and_srv.gds_and_srv"),
                      count("accounts_dep.oper"), count("accounts_dep.smena"),
                      count("accounts_dep.fatigue"), count("accounts_dep.h_tabel"),
                      one(*dm, QStringLiteral("select min(data) from accounts_dep.smena")),
                      one(*dm, QStringLiteral("select max(data) from accounts_dep.smena"))));
    const QDate day = busiestDay(run);
    const QDate month = busiestMonth(run);
    run.note(QStringLiteral("busiest day %1 (%2 entries), busiest month %3 (%4 entries)")
                 .arg(day.toString(QStringLiteral("dd.MM.yyyy")),
                      one(*dm, QStringLiteral("select count(*) from accounts_dep.smena where "
                                              "data='%1'")
                                   .arg(day.toString(Qt::ISODate))),
                      month.toString(QStringLiteral("MM.yyyy")),
                      one(*dm, QStringLiteral("select count(*) from accounts_dep.smena where "
                                              "date_trunc('month', data)='%1'")
                                   .arg(month.toString(Qt::ISODate)))));
    run.note(QStringLiteral("server: %1").arg(one(*dm, QStringLiteral("select version()"))));
}

// A rebuild against its reference on the busiest month (on the larger shop the month before, which
// its one-shift workers fill): both run on the same rows in the same run, the set-based one last
// so that the month ends as the program leaves it.
void rebuildAgainstReference(Run &run, const QString &subject, const QString &family,
                             void (*referenceRebuild)(TDataModule6 &, int, int),
                             void (*rebuild)(TDataModule6 &, int, int, const rebuild::Progress &),
                             const Target &ratio)
{
    auto dm = connect(run);
    const QDate month = busiestMonth(run).addMonths(run.onLargerShop() ? -1 : 0);
    std::vector<double> reference;
    std::vector<double> setBased;
    bool identical = true;
    for (int i = 0; i < run.runs(); ++i) {
        reference.push_back(run.time(subject + QStringLiteral(", reference (statement by "
                                                              "statement)"),
                                     [&] { referenceRebuild(*dm, month.month(), month.year()); }));
        const QString referenceRows = reference::snapshot(*dm, family, month.month(), month.year());
        dm->ADO_DB.run(QStringLiteral("analyze accounts_dep.h_tabel"));
        setBased.push_back(
            run.time(subject, [&] { rebuild(*dm, month.month(), month.year(), {}); }));
        identical = identical && !referenceRows.isEmpty() &&
                    referenceRows == reference::snapshot(*dm, family, month.month(), month.year());
        dm->ADO_DB.run(QStringLiteral("analyze accounts_dep.h_tabel"));
        run.value(subject + QStringLiteral(": reference time / set-based time"),
                  reference.back() / setBased.back(), QStringLiteral("×"), ratio);
    }
    run.note(QStringLiteral("%1 of %2 (%3 monthly rows): both leave identical rows: %4")
                 .arg(subject, month.toString(QStringLiteral("MM.yyyy")),
                      one(*dm, QStringLiteral("select count(*) from accounts_dep.h_tabel where "
                                              "%1 and month=%2 and year=%3")
                                   .arg(family)
                                   .arg(month.month())
                                   .arg(month.year())),
                      identical ? QStringLiteral("yes") : QStringLiteral("NO")));
    if (!identical)
        throw DbError(subject + QStringLiteral(": the rebuild and its reference differ"));
}

void shiftRebuild(Run &run)
{
    // Fewer monthly rows per worker leave the reference less to repeat per row.
    rebuildAgainstReference(run, QStringLiteral("shift-month rebuild"), QStringLiteral("smena>0"),
                            reference::shiftMonth, rebuild::shiftMonth,
                            Target{run.onLargerShop() ? 60.0 : 80.0, true});
}

void fatigueRebuild(Run &run)
{
    rebuildAgainstReference(run, QStringLiteral("fatigue-month rebuild"), QStringLiteral("smena=0"),
                            reference::fatigueMonth, rebuild::fatigueMonth, Target{30, true});
}

void dayQueries(Run &run)
{
    Session session(run);
    TForm1 &form = session.program().mainWindow();
    const QDate day = busiestDay(run);
    form.show();
    for (int i = 0; i < run.runs(); ++i) {
        form.DateT->setDate(day.addDays(i % 2 ? 0 : -1)); // a change of day each time
        form.DateT->setDate(day);
        run.time(
            QStringLiteral("main window: the day's four shift queries (busiest day)"),
            [&] { form.DateTChange(); }, WindowQuery);
    }
    run.time(QStringLiteral("main window: grid painted (busiest day)"),
             [&] { form.DBGrid2->grab(); });
}

void monthQueries(Run &run)
{
    Session session(run);
    const QDate month = busiestMonth(run);
    TForm19 &shifts = session.forms().Form19;
    for (int i = 0; i < run.runs(); ++i)
        run.time(QStringLiteral("timesheet by shifts: month loaded (its three grids)"),
                 [&] { shifts.selectMonth(month.month(), month.year()); });
    Dataset *const grids[] = {&session.dm().H_Tabel_1, &session.dm().H_Tabel_2,
                              &session.dm().H_Tabel_3};
    for (int shift = 1; shift <= 3; ++shift)
        for (int i = 0; i < run.runs(); ++i)
            run.time(
                QStringLiteral("timesheet by shifts: H_Tabel_%1").arg(shift),
                [&] { grids[shift - 1]->reopen(); }, WindowQuery);

    TForm27 &form = session.forms().Form27;
    form.show();
    const std::pair<int, const char *> modes[] = {{TForm27::PieceWork, "H_Tabel0"},
                                                  {TForm27::HouseholdWorks, "H_Tabel7777"},
                                                  {TForm27::AveragePieceRate, "H_Tabel7778"},
                                                  {TForm27::Overall, "H_Tabel_all"}};
    for (const auto &[tag, query] : modes) {
        form.setMode(tag);
        form.selectMonth(month.month(), month.year());
        for (int i = 0; i < run.runs(); ++i)
            run.time(
                QStringLiteral("monthly timesheet: %1 (%2 rows)")
                    .arg(QLatin1String(query))
                    .arg(form.currentQuery().recordCount()),
                [&] { form.Button5Click(); }, WindowQuery);
    }
    form.setMode(TForm27::PieceWork);
    form.selectMonth(month.month(), month.year());
    for (int i = 0; i < run.runs(); ++i) {
        run.time(
            QStringLiteral("monthly timesheet: footer totals"), [&] { form.loadFooter(); },
            WindowQuery);
        run.time(
            QStringLiteral("monthly timesheet: month changed (query, footer, columns)"),
            [&] { form.selectMonth(month.month(), month.year()); }, WindowQuery);
        run.time(QStringLiteral("monthly timesheet: grid painted"), [&] { form.DBGrid->grab(); });
    }
}

void lists(Run &run)
{
    Session session(run);
    Forms &forms = session.forms();
    // The list is measured up to the moment it would be shown.
    QElapsedTimer opened;
    setModalHandler([&](QDialog &) {
        run.seconds(QStringLiteral("operation list Oper: opened (%1 rows)")
                        .arg(forms.Form4.list().recordCount()),
                    opened.nsecsElapsed() / 1e9, WindowQuery);
        return 0;
    });
    for (int i = 0; i < run.runs(); ++i) {
        opened.start();
        forms.Form4.runAsCatalogue(nullptr);
    }

    // The worker list, searched by the most common beginning of a name, typed letter by letter.
    const QString typed = one(session.dm(), QStringLiteral("select left(fio, 5) from "
                                                           "accounts_dep.person group by 1 order "
                                                           "by count(*) desc limit 1"));
    setModalHandler([&](QDialog &) {
        QLineEdit *search = forms.Form5.Edit1;
        const int rows = forms.Form5.list().recordCount();
        for (int i = 0; i < run.runs(); ++i) {
            for (const QChar letter : typed)
                run.time(
                    QStringLiteral("worker list: one search keystroke (%1 rows)").arg(rows),
                    [&] { typeText(search, QString(letter)); }, Keystroke);
            for (int n = 0; n < typed.size(); ++n)
                run.time(
                    QStringLiteral("worker list: one search keystroke (%1 rows)").arg(rows),
                    [&] { typeText(search, QStringLiteral("\b")); }, Keystroke);
        }
        return 0;
    });
    opened.start();
    forms.Form5.runAsCatalogue(nullptr);
    setModalHandler([](QDialog &) { return 0; });
    run.note(QStringLiteral("worker search typed: \"%1\"").arg(typed));
}

template<typename Layout>
void periodReport(Run &run, TDataModule6 &dm, const QString &title, const QDate &from,
                  const QDate &to, const QString &period, std::optional<Target> target = {})
{
    QTemporaryDir dir;
    int pages = 0;
    for (int i = 0; i < run.runs(); ++i) {
        Layout layout(dm);
        QElapsedTimer timer;
        timer.start();
        const report::PreparedReport prepared = layout.prepare(from, to, ProductKind::All);
        const double prepare = timer.nsecsElapsed() / 1e9;
        prepared.writePdf(dir.filePath(QStringLiteral("report.pdf")));
        const double total = timer.nsecsElapsed() / 1e9;
        pages = prepared.pageCount();
        run.seconds(QStringLiteral("%1, %2: query, pages, PDF").arg(title, period), total, target);
        run.seconds(QStringLiteral("%1, %2: of which the PDF").arg(title, period), total - prepare);
    }
    run.note(QStringLiteral("%1, %2: %3 pages").arg(title, period).arg(pages));
}

void reports(Run &run)
{
    auto dm = connect(run);
    const QDate month = busiestMonth(run);
    const QDate year(month.year(), 1, 1);
    const std::tuple<QString, QDate, QDate> periods[] = {
        {QStringLiteral("month"), month, month.addMonths(1)},
        {QStringLiteral("year"), year, year.addYears(1)}};
    for (const auto &[period, from, to] : periods) {
        const bool wholeYear = period == QLatin1String("year");
        periodReport<TForm16>(run, *dm, QStringLiteral("report by workers"), from, to, period);
        periodReport<TForm17>(run, *dm, QStringLiteral("report by products"), from, to, period);
        // The year's limit is set for the benchmark's shop; the larger one prints four times the
        // pages, and its growth table shows how the time follows them.
        periodReport<TForm20>(
            run, *dm, QStringLiteral("detailed report by workers"), from, to, period,
            wholeYear && !run.onLargerShop() ? std::optional<Target>(Target{5}) : std::nullopt);
        periodReport<TForm21>(run, *dm, QStringLiteral("detailed report by products"), from, to,
                              period);
    }
}

void exports(Run &run)
{
    Session session(run);
    QTemporaryDir dir;
    XlsxExport::setFolder(dir.path());
    XlsxExport::setOpener([](const QString &path) { return QFile::remove(path); });
    const QDate month = busiestMonth(run);

    TForm27 &timesheet = session.forms().Form27;
    timesheet.setMode(TForm27::PieceWork);
    timesheet.selectMonth(month.month(), month.year());
    for (int i = 0; i < run.runs(); ++i)
        run.time(QStringLiteral("monthly timesheet export (%1 rows)")
                     .arg(timesheet.currentQuery().recordCount()),
                 [&] { timesheet.Button2Click(); });

    TForm18 &summary = session.forms().Form18;
    summary.DTPicker1->setDate(QDate(month.year(), 1, 1));
    summary.DTPicker2->setDate(QDate(month.year() + 1, 1, 1));
    for (int i = 0; i < run.runs(); ++i)
        run.time(QStringLiteral("product summary export, a year"), [&] { summary.Button6Click(); });
    XlsxExport::setOpener({});
    XlsxExport::setFolder({});
}

// A server across town: every action a clerk takes, through a delay of 0, 2 and 30 ms round trip,
// timed and counted in round trips (the times the program waits for the server's answer).
void network(Run &run)
{
    const QDate day = busiestDay(run);
    const QDate month = busiestMonth(run);
    const int port =
        qEnvironmentVariableIntValue("PGPORT") > 0 ? qEnvironmentVariableIntValue("PGPORT") : 5432;
    // Under 100 ms at 30 ms round trip: at most two round trips and what the work itself takes.
    const Target Action{0.100};
    const Target StartUp{0.300};
    // A worker without entries on the day, for a new entry that is nobody's duplicate.
    qint64 newWorker = 0;
    {
        auto dm = connect(run);
        newWorker = one(*dm, QStringLiteral("select id from accounts_dep.person where id not in "
                                            "(select w_id from accounts_dep.smena where data = "
                                            "'%1') order by id limit 1")
                                 .arg(day.toString(Qt::ISODate)))
                        .toLongLong();
    }
    for (const int delay : {0, 2, 30}) {
        bench::DelayProxy proxy(run.server(), port, delay);
        const QString at = QStringLiteral(" (%1 ms round trip)").arg(delay);
        // A span of one action: its time and, at 30 ms, its round trips.
        struct Span
        {
            QElapsedTimer timer;
            long long trips = 0;
        };
        const auto begin = [&](Span &span) {
            span.trips = proxy.roundTrips();
            span.timer.start();
        };
        const auto end = [&](const QString &action, Span &span, const Target &target) {
            const double seconds = span.timer.nsecsElapsed() / 1e9;
            run.seconds(QStringLiteral("network: ") + action + at, seconds,
                        delay == 30 ? std::optional<Target>(target) : std::nullopt);
            if (delay == 30)
                run.value(QStringLiteral("network: ") + action + QStringLiteral(": round trips"),
                          double(proxy.roundTrips() - span.trips), QStringLiteral("trips"),
                          Target{2.5});
        };
        const auto measure = [&](const QString &action, const std::function<void()> &work,
                                 const Target &target) {
            for (int i = 0; i < run.runs(); ++i) {
                Span span;
                begin(span);
                work();
                end(action, span, target);
            }
        };
        std::unique_ptr<Session> session;
        const BuildStamp stamp = Session::stampOf(run);
        measure(
            QStringLiteral("start-up to the authorization dialog"),
            [&] {
                session.reset();
                session = std::make_unique<Session>(run, stamp, proxy.folder());
            },
            StartUp);
        TForm1 &form = session->program().mainWindow();
        // The access code typed and "Вход": the main window is shown with the day's lists. Its
        // closing would end the program: not here.
        termination::setHandler([](int) {});
        for (int i = 0; i < run.runs(); ++i) {
            Span span;
            setModalHandler([&](QDialog &dialog) {
                if (qobject_cast<TForm1 *>(&dialog))
                    end(QStringLiteral("login to the shift log"), span, StartUp);
                return 0;
            });
            TForm23 &login = session->program().loginDialog();
            login.Edit1->setText(QStringLiteral("9073"));
            begin(span);
            login.Button1Click();
        }
        setModalHandler([](QDialog &) { return 0; });
        termination::reset();
        termination::setHandler({});
        form.show();
        // The first shift, as the login leaves it: a save through the editor keeps its shift.
        form.RadioButtonClick(1);
        form.DateT->setDate(day);
        measure(
            QStringLiteral("the day's lists"),
            [&] {
                form.DateT->setDate(form.DateT->date() == day ? day.addDays(-1) : day);
                form.DateTChange();
            },
            Action);
        form.DateT->setDate(day);
        form.DateTChange();
        measure(
            QStringLiteral("acceptance of an entry and the re-read"),
            [&] { form.DBGrid2DblClick(); }, Action);
        // The current entry's editor opened, and saved unchanged: the log reads its lists again
        // as the editor closes.
        for (int i = 0; i < run.runs(); ++i) {
            Span open;
            Span save;
            setModalHandler([&](QDialog &dialog) {
                if (auto *editor = qobject_cast<TForm11 *>(&dialog)) {
                    end(QStringLiteral("entry editor opened"), open, Action);
                    begin(save);
                    editor->Button1->click();
                }
                return 0;
            });
            form.DateT->setDate(day);
            form.DateTChange();
            begin(open);
            form.Button2Click();
            end(QStringLiteral("save of a changed entry and the re-read"), save, Action);
        }
        // A new entry typed and saved, then deleted again.
        std::optional<MessageRecorder> questions;
        questions.emplace();
        for (int i = 0; i < run.runs(); ++i) {
            Span save;
            setModalHandler([&](QDialog &dialog) {
                if (auto *editor = qobject_cast<TForm11 *>(&dialog)) {
                    const Dataset &current = session->dm().shiftQuery(1);
                    editor->WorkerId = newWorker;
                    editor->ProductId = current.integer(QStringLiteral("i_id"));
                    editor->OperationId = current.integer(QStringLiteral("o_id"));
                    editor->PiecePrice = current.decimal(QStringLiteral("cena"));
                    editor->Edit1->setText(QStringLiteral("Новый"));
                    editor->Edit2->setText(QStringLiteral("Изделие; операция; Готовая продукция"));
                    editor->Edit3->setText(QStringLiteral("10"));
                    editor->Edit6->setText(QStringLiteral("0"));
                    begin(save);
                    editor->Button1->click();
                }
                return 0;
            });
            form.DateT->setDate(day);
            form.DateTChange();
            form.Button1Click();
            end(QStringLiteral("save of a new entry and the re-read"), save, Action);
            form.DateT->setDate(day);
            form.DateTChange();
            if (session->dm().shiftQuery(1).locate(QStringLiteral("w_id"), newWorker)) {
                Span remove;
                begin(remove);
                form.Button3Click();
                end(QStringLiteral("deletion of an entry and the re-read"), remove, Action);
            }
        }
        for (const messages::Message &message : std::as_const(questions->shown))
            if (message.kind != messages::Kind::Question)
                run.note(QStringLiteral("network: a message while saving: ") + message.text);
        questions.reset();
        setModalHandler([](QDialog &) { return 0; });
        TForm27 &timesheet = session->forms().Form27;
        timesheet.setMode(TForm27::PieceWork);
        measure(
            QStringLiteral("monthly timesheet: month changed"),
            [&] { timesheet.selectMonth(month.month(), month.year()); }, Action);
        measure(
            QStringLiteral("monthly timesheet: footer totals"), [&] { timesheet.loadFooter(); },
            Action);
        measure(
            QStringLiteral("timesheet by shifts: month changed"),
            [&] { session->forms().Form19.selectMonth(month.month(), month.year()); }, Action);
        measure(
            QStringLiteral("operation list opened"),
            [&] { session->forms().Form4.runAsCatalogue(nullptr); }, Action);
        measure(
            QStringLiteral("worker list opened"),
            [&] { session->forms().Form5.runAsCatalogue(nullptr); }, Action);
        measure(
            QStringLiteral("history of an entry"), [&] { form.HistoryClick(); }, Action);
        session.reset();
    }
}

// The month's queries on two shops whose entries are stored worker by worker, the second with
// four times the workers and so four times the month's rows: what they cost must follow the
// month's rows, not the table's pages that hold them.
void scattered(Run &run)
{
    const QStringList shops = run.scatteredShops();
    // Its own two shops: nothing to measure again on the 4× shop.
    if (run.onLargerShop())
        return;
    if (shops.size() != 2) {
        run.note(QStringLiteral("scattered shops: not given (--scattered A,B; scripts/bench makes "
                                "them)"));
        return;
    }
    const QStringList actions = {
        QStringLiteral("timesheet by shifts: month loaded (its three grids)"),
        QStringLiteral("timesheet by shifts: H_Tabel_1"),
        QStringLiteral("monthly timesheet: H_Tabel0"),
        QStringLiteral("monthly timesheet: footer totals"),
        QStringLiteral("monthly timesheet: month changed (query, footer, columns)")};
    QList<QList<double>> medians(shops.size());
    for (qsizetype shop = 0; shop < shops.size(); ++shop) {
        Session session(run, shops.at(shop));
        const QDate month = busiestMonthOf(session.dm());
        const int workers = int(
            one(session.dm(), QStringLiteral("select count(*) from accounts_dep.person")).toInt());
        TForm19 &shifts = session.forms().Form19;
        TForm27 &timesheet = session.forms().Form27;
        timesheet.show();
        timesheet.setMode(TForm27::PieceWork);
        timesheet.selectMonth(month.month(), month.year());
        shifts.selectMonth(month.month(), month.year());
        const std::function<void()> work[] = {
            [&] { shifts.selectMonth(month.month(), month.year()); },
            [&] { session.dm().H_Tabel_1.reopen(); }, [&] { timesheet.Button5Click(); },
            [&] { timesheet.loadFooter(); },
            [&] { timesheet.selectMonth(month.month(), month.year()); }};
        const int rows = int(one(session.dm(), QStringLiteral("select count(*) from "
                                                              "accounts_dep.smena where data >= "
                                                              "'%1' and data < '%2'")
                                                   .arg(month.toString(Qt::ISODate),
                                                        month.addMonths(1).toString(Qt::ISODate)))
                                 .toInt());
        for (qsizetype a = 0; a < actions.size(); ++a) {
            QList<double> times;
            for (int i = 0; i < run.runs(); ++i)
                times << run.time(QStringLiteral("scattered shop of %1 workers: %2")
                                      .arg(workers)
                                      .arg(actions.at(a)),
                                  work[a],
                                  shop == 1 ? std::optional<Target>(Target{0.100}) : std::nullopt);
            std::sort(times.begin(), times.end());
            medians[shop] << times.at(times.size() / 2);
        }
        run.note(QStringLiteral("scattered shop `%1`: %2 workers, %3 entries in %4")
                     .arg(shops.at(shop))
                     .arg(workers)
                     .arg(rows)
                     .arg(month.toString(QStringLiteral("MM.yyyy"))));
    }
    // Four times the month's rows: at most 4.5 times as long.
    for (qsizetype a = 0; a < actions.size(); ++a)
        run.value(QStringLiteral("scattered shops: growth of %1").arg(actions.at(a)),
                  medians[1].at(a) / medians[0].at(a), QStringLiteral("×"), Target{4.5});
}

// From the parent's start of this process to the authorization dialog on the screen: process
// start, connection, version check and every window created.
void startup(Run &run)
{
    Session session(run);
    QApplication::processEvents();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const qint64 elapsed = qint64(now.tv_sec) * 1000000000 + now.tv_nsec - run.startedAt();
    run.seconds(QStringLiteral("start-up to the authorization dialog"), elapsed / 1e9, Target{1.0});
}

// The resident memory of a working session: the main window on the busiest day and the monthly
// timesheet open on the busiest month.
void sessionMemory(Run &run)
{
    Session session(run);
    TForm1 &form = session.program().mainWindow();
    const QDate day = busiestDay(run);
    const QDate month = busiestMonth(run);
    form.show();
    form.DateT->setDate(day);
    form.DateTChange();
    setModalHandler([&](QDialog &dialog) {
        auto &timesheet = static_cast<TForm27 &>(dialog);
        timesheet.selectMonth(month.month(), month.year());
        timesheet.show();
        QApplication::processEvents();
        run.value(QStringLiteral("resident memory: main window and monthly timesheet open"),
                  bench::residentMegabytes(), QStringLiteral("MB"), Target{200});
        return 0;
    });
    session.forms().Form27.showMode(TForm27::PieceWork, &form);
    setModalHandler([](QDialog &) { return 0; });
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<bench::Case> cases = {
        {QStringLiteral("data"), QStringLiteral("the data set"), dataSet},
        {QStringLiteral("rebuild-shift"), QStringLiteral("shift-month rebuild"), shiftRebuild},
        {QStringLiteral("rebuild-fatigue"), QStringLiteral("fatigue-month rebuild"),
         fatigueRebuild},
        {QStringLiteral("day"), QStringLiteral("the main window's day"), dayQueries},
        {QStringLiteral("month"), QStringLiteral("the monthly timesheets"), monthQueries},
        {QStringLiteral("lists"), QStringLiteral("operation and worker lists"), lists},
        {QStringLiteral("reports"), QStringLiteral("period reports"), reports},
        {QStringLiteral("exports"), QStringLiteral("exports"), exports},
        {QStringLiteral("startup"), QStringLiteral("start-up"), startup, true},
        {QStringLiteral("memory"), QStringLiteral("memory of a working session"), sessionMemory},
        {QStringLiteral("save"), QStringLiteral("saving entries"), saveEntries},
        {QStringLiteral("charts"), QStringLiteral("the period charts"), chartsBench},
        {QStringLiteral("network"), QStringLiteral("through a delay"), network},
        {QStringLiteral("scattered"), QStringLiteral("months of shops stored worker by worker"),
         scattered},
    };
    return bench::main(argc, argv, cases);
}
