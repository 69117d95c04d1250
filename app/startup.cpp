#include "app/startup.h"

#include "db/db_error.h"

#include "app/login_dialog.h"
#include "catalogues/nomenclature_groups.h"
#include "catalogues/norm_editor.h"
#include "catalogues/operation_kinds.h"
#include "catalogues/operation_prices.h"
#include "catalogues/production_calendar_window.h"
#include "catalogues/products.h"
#include "catalogues/workers.h"
#include "db/batch.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "db/login_mode.h"
#include "db/messages.h"
#include "db/production_calendar.h"
#include "db/schema_check.h"
#include "reports/hours_table_layout.h"
#include "reports/period_layouts.h"
#include "reports/summary_reports.h"
#include "shiftlog/shift_entry_editor.h"
#include "shiftlog/shift_log.h"
#include "timesheets/hour_paid_entries.h"
#include "timesheets/monthly_timesheet.h"
#include "timesheets/shift_timesheet.h"
#include "ui/clock.h"
#include "ui/error_guard.h"
#include "ui/focused_button.h"
#include "ui/termination.h"
#include "ui/version_watch.h"
#include "ui/window_setup.h"

#include <QDateEdit>
#include <QSignalBlocker>
#include <QTimer>

Program::Program(const BuildStamp &build, const QStringList &arguments, StartupOptions options)
    : m_build(build)
    , m_arguments(arguments)
    , m_options(options)
{}

Program::~Program()
{
    // Windows go before the data module they use, each before the windows it opens.
    m_forms.reset();
    m_form23.reset();
    m_form1.reset();
    while (!m_windows.empty())
        m_windows.pop_back();
    m_versionWatch.reset();
    m_dm.reset();
}

template<typename Window, typename... Args>
Window &Program::create(Args &&...args)
{
    auto window = std::make_unique<Window>(std::forward<Args>(args)...);
    Window &created = *window;
    m_windows.push_back(std::move(window));
    return created;
}

void Program::createWindows()
{
    TDataModule6 &dm = *m_dm;
    // Each window once, hidden, after the windows it opens.
    auto &form2 = create<TForm2>(dm);
    auto &form7 = create<TForm7>(dm);
    auto &form3 = create<TForm3>(dm, form7);
    auto &form5 = create<TForm5>(dm, form2);
    auto &form9 = create<TForm9>(dm);
    auto &form8 = create<TForm8>(dm, form9);
    auto &form10 = create<TForm10>(dm, form3, form8);
    auto &form22 = create<TForm22>(dm);
    auto &form4 = create<TForm4>(dm, form10, form22);
    auto &form11 = create<TForm11>(dm, form5, form4);
    auto &form15 = create<TForm15>(dm);
    auto &form16 = create<TForm16>(dm);
    auto &form17 = create<TForm17>(dm);
    auto &form20 = create<TForm20>(dm);
    auto &form21 = create<TForm21>(dm);
    auto &form18 = create<TForm18>(dm, form16, form17, form20, form21);
    auto &form19 = create<TForm19>(dm, form15);
    auto &form26 = create<TForm26>(dm);
    auto &form25 = create<TForm25>(dm, form5, form26);
    auto &form27 = create<TForm27>(dm);
    m_calendar = &create<ProductionCalendar>(dm);
    m_form23 =
        std::make_unique<TForm23>(dm, *m_versionWatch, *m_form1, [&form18, &form27](Role role) {
            form18.applyRole(role);
            form27.applyRole(role);
        });
    rememberGeometry(*m_form23);
    m_forms = std::make_unique<Forms>(Forms{
        *m_form1, form2,  form3,     form4,           form5,  form7,  form8,  form9,
        form10,   form11, form15,    form16,          form17, form18, form19, form20,
        form21,   form22, *m_form23, form25.Form24(), form25, form26, form27, form26.Form29()});
}

void Program::open(ShiftLogLink link, const QDate &day, ActivationHandler *opener)
{
    Forms &forms = *m_forms;
    switch (link) {
    case ShiftLogLink::Workers:
        forms.Form5.runAsCatalogue(opener);
        break;
    case ShiftLogLink::Operations:
        forms.Form4.runAsCatalogue(opener);
        break;
    case ShiftLogLink::Products:
        forms.Form3.runAsCatalogue(opener);
        break;
    case ShiftLogLink::OperationKinds:
        forms.Form8.runAsCatalogue(opener);
        break;
    case ShiftLogLink::NomenclatureGroups:
        forms.Form26.runAsCatalogue(opener);
        break;
    case ShiftLogLink::ShiftTimesheet:
        forms.Form19.showMonth(day, opener);
        break;
    case ShiftLogLink::PieceWorkTimesheet:
        forms.Form27.showMode(TForm27::PieceWork, opener);
        break;
    case ShiftLogLink::HouseholdTimesheet:
        forms.Form27.showMode(TForm27::HouseholdWorks, opener);
        break;
    case ShiftLogLink::AveragePieceRateTimesheet:
        forms.Form27.showMode(TForm27::AveragePieceRate, opener);
        break;
    case ShiftLogLink::OverallTimesheet:
        forms.Form27.showMode(TForm27::Overall, opener);
        break;
    case ShiftLogLink::SummaryReports:
        // A day clicked in the charts: the shift log shows it once the reports have closed.
        if (const QDate day = forms.Form18.showFromMenu(opener); day.isValid()) {
            {
                const QSignalBlocker blocker(m_form1->DateT);
                m_form1->DateT->setDate(day);
            }
            m_form1->DateTChange();
        }
        break;
    case ShiftLogLink::HourPaidEntries:
        forms.Form25.showForDay(day, opener);
        break;
    case ShiftLogLink::ProductionCalendar:
        // Only full access changes the calendar.
        m_calendar->setReadOnly(forms.Form1.role() != Role::Full);
        m_calendar->showYear(day, opener);
        break;
    }
}

TForm11 &Program::entryEditor()
{
    return m_forms->Form11;
}

bool Program::start()
{
    m_dm = std::make_unique<TDataModule6>();
    m_versionWatch = std::make_unique<VersionWatch>(*m_dm, m_build);
    // The shift log holds the version check's timer; the windows it opens come later.
    m_form1 = std::make_unique<TForm1>(*m_dm, *m_versionWatch, static_cast<ShiftLogLinks &>(*this));
    m_form1->Timer1->setInterval(m_options.versionCheckInterval);
    // No version check may run before the database has passed the checks below.
    m_form1->Timer1->stop();

    // Ends the program before any window shows, after one message (none when the error display
    // has already said why).
    const auto refuse = [](const QString &text, const QString &detail = {}) {
        if (!text.isEmpty())
            messages::error(QStringLiteral("Ошибка!"), text, detail);
        termination::request(1);
        return false;
    };
    try {
        m_dm->ADO_DB.close();
        m_dm->ADO_DB.setConnectionString(connection::fromArguments(m_arguments));
        m_dm->ADO_DB.open();
        m_dm->Changes.start();
    } catch (const DbError &error) {
        // Refused before connecting (a service file others may read holds the password): the
        // sentence says what to mend.
        const bool refused =
            !error.isConnectionError() && error.sqlState().isEmpty() && error.statement().isEmpty();
        return refuse(QStringLiteral("Подключение к БД отсутсвует!!!") +
                      (refused ? QLatin1Char('\n') + error.message() : QString()));
    } catch (...) {
        return refuse(QStringLiteral("Подключение к БД отсутсвует!!!"));
    }
    // How people log in here, and a login that may do more than any role: said once.
    loginmode::SessionFacts facts;
    // A database not yet brought up to what the program needs is refused before the version check
    // writes to it, rather than failing in the middle of a user's work. With personal logins the
    // site's login may read nothing before the dialog: the check runs as the person (TForm23).
    QStringList missing;
    // The facts, the check, whether the calendar has this year and the next, and the version
    // row, asked in one round trip; where the site's login may not read what they read, the
    // facts come alone and say whether the check is needed.
    const int thisYear = Clock::today().year();
    bool checked = false;
    bool yearsStored = false;
    try {
        Dataset factsQuery(m_dm->ADO_DB);
        Dataset missingQuery(m_dm->ADO_DB);
        Dataset yearsQuery(m_dm->ADO_DB);
        Dataset versionQuery(m_dm->ADO_DB);
        loginmode::askFacts(factsQuery);
        schema_check::askMissing(missingQuery);
        calendar::askYearsStored(yearsQuery, thisYear, thisYear + 1);
        askVersion(versionQuery);
        Batch(m_dm->ADO_DB)
            .open(factsQuery)
            .open(missingQuery)
            .open(yearsQuery)
            .open(versionQuery)
            .run();
        facts = loginmode::factsFrom(factsQuery);
        missing = schema_check::missingFrom(missingQuery);
        yearsStored = calendar::yearsStoredFrom(yearsQuery, thisYear, thisYear + 1);
        if (const auto state = versionFrom(*m_dm, versionQuery, m_build))
            m_versionWatch->prime(*state);
        checked = true;
    } catch (const DbError &) {
        // Read again one by one below, where an error is shown as it comes.
    }
    if (!checked && !guard::run([&] { facts = loginmode::read(m_dm->ADO_DB); }))
        return refuse({});
    if (!facts.personal) {
        if (!checked && !guard::run([&] { missing = schema_check::missing(m_dm->ADO_DB); }))
            return refuse({});
        if (!missing.isEmpty())
            return refuse(schema_check::message(), missing.join(QLatin1Char('\n')));
    }
    if (const QString warning = loginmode::powerWarning(facts); !warning.isEmpty())
        messages::information(QStringLiteral("Предупреждение"), warning);
    // The public holidays of the next year are stored before it comes; a failure is shown and
    // the program goes on with the weekend rule for a year that has none.
    if (!yearsStored)
        guard::run([&] { calendar::fillYears(m_dm->ADO_DB, thisYear, thisYear + 1); });

    const bool created = guard::run([this, &facts] {
        createWindows();
        m_form23->setPersonalLogins(facts.personal);
        // The version check runs from here on, also while only the login dialog is shown.
        m_form1->Timer1->start();
        m_form23->Timer1->setInterval(m_options.terminationDelay);
        m_form23->show();
        m_form23->FormActivate();
        enterPressesFocusedButton(*m_form1);
        enterPressesFocusedButton(*m_form23);
        for (const std::unique_ptr<QWidget> &window : m_windows)
            enterPressesFocusedButton(*window);
        // The dialogs that their lists make and keep.
        enterPressesFocusedButton(m_forms->Form24);
        enterPressesFocusedButton(m_forms->Form29);
    });
    if (!created && !termination::requested())
        termination::request(1);
    return !termination::requested();
}
