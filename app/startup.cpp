#include "app/startup.h"

#include "app/login_dialog.h"
#include "catalogues/nomenclature_groups.h"
#include "catalogues/norm_editor.h"
#include "catalogues/operation_kinds.h"
#include "catalogues/operation_prices.h"
#include "catalogues/products.h"
#include "catalogues/workers.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/messages.h"
#include "db/schema_check.h"
#include "reports/hours_table_layout.h"
#include "reports/period_layouts.h"
#include "reports/summary_reports.h"
#include "shiftlog/shift_entry_editor.h"
#include "shiftlog/shift_log.h"
#include "timesheets/hour_paid_entries.h"
#include "timesheets/monthly_timesheet.h"
#include "timesheets/shift_timesheet.h"
#include "ui/error_guard.h"
#include "ui/focused_button.h"
#include "ui/termination.h"
#include "ui/version_watch.h"

#include <QTimer>

Program::Program(const BuildStamp &build, const QStringList &arguments, StartupOptions options)
    : m_build(build)
    , m_arguments(arguments)
    , m_options(options)
{}

Program::~Program()
{
    // Windows go before the data module they use.
    while (!m_windows.empty())
        m_windows.pop_back();
    m_form23.reset();
    m_form1.reset();
    m_versionWatch.reset();
    m_dm.reset();
}

template<typename Window, typename... Args>
Window *Program::create(Args &&...args)
{
    auto window = std::make_unique<Window>(std::forward<Args>(args)...);
    Window *created = window.get();
    m_windows.push_back(std::move(window));
    return created;
}

void Program::createWindows()
{
    // Each window once, hidden, in this order.
    m_forms.Form2 = create<TForm2>(*m_dm);
    m_forms.Form3 = create<TForm3>(*m_dm, m_forms);
    m_forms.Form4 = create<TForm4>(*m_dm, m_forms);
    m_forms.Form5 = create<TForm5>(*m_dm, m_forms);
    m_forms.Form7 = create<TForm7>(*m_dm);
    m_forms.Form8 = create<TForm8>(*m_dm, m_forms);
    m_forms.Form9 = create<TForm9>(*m_dm);
    m_forms.Form10 = create<TForm10>(*m_dm, m_forms);
    m_forms.Form11 = create<TForm11>(*m_dm, m_forms);
    m_forms.Form18 = create<TForm18>(*m_dm, m_forms);
    m_forms.Form19 = create<TForm19>(*m_dm, m_forms);
    m_forms.Form21 = create<TForm21>(*m_dm, m_forms);
    m_forms.Form15 = create<TForm15>(*m_dm, m_forms);
    m_forms.Form16 = create<TForm16>(*m_dm, m_forms);
    m_forms.Form17 = create<TForm17>(*m_dm, m_forms);
    m_forms.Form20 = create<TForm20>(*m_dm, m_forms);
    m_forms.Form22 = create<TForm22>(*m_dm);
    m_forms.Form24 = create<TForm24>(*m_dm, m_forms);
    m_forms.Form25 = create<TForm25>(*m_dm, m_forms);
    m_forms.Form26 = create<TForm26>(*m_dm, m_forms);
    m_forms.Form27 = create<TForm27>(*m_dm, m_forms);
    m_forms.Form29 = create<TForm29>(*m_dm, m_forms.Form26->item);
}

bool Program::start()
{
    m_dm = std::make_unique<TDataModule6>();
    m_versionWatch = std::make_unique<VersionWatch>(*m_dm, m_build);
    m_form1 = std::make_unique<TForm1>(*m_dm, *m_versionWatch, m_forms);
    m_forms.Form1 = m_form1.get();
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
    } catch (...) {
        return refuse(QStringLiteral("Подключение к БД отсутсвует!!!"));
    }
    // A database not yet brought up to what the program needs is refused before the version check
    // writes to it, rather than failing in the middle of a user's work.
    QStringList missing;
    if (!guard::run([&] { missing = schema_check::missing(m_dm->ADO_DB); }))
        return refuse({});
    if (!missing.isEmpty())
        return refuse(schema_check::message(), missing.join(QLatin1Char('\n')));
    m_form1->Timer1->start();

    const bool created = guard::run([this] {
        m_form23 = std::make_unique<TForm23>(*m_dm, *m_versionWatch, m_forms);
        m_forms.Form23 = m_form23.get();
        m_form23->Timer1->setInterval(m_options.terminationDelay);
        m_form23->show();
        m_form23->FormActivate();
        createWindows();
        m_form1->connectWindows();
        enterPressesFocusedButton(*m_form1);
        enterPressesFocusedButton(*m_form23);
        for (const std::unique_ptr<QWidget> &window : m_windows)
            enterPressesFocusedButton(*window);
    });
    if (!created && !termination::requested())
        termination::request(1);
    return !termination::requested();
}
