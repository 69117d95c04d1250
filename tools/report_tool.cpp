#include "tools/report_tool.h"

#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/messages.h"
#include "db/schema_check.h"
#include "db/version_check.h"
#include "designs/report_functions.h"
#include "output/expression.h"
#include "tools/month_end_output.h"
#include "ui/clock.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace report_tool {

namespace {

enum class Kind {
    Workers,
    Products,
    WorkersDetailed,
    ProductsDetailed,
    Hours,
    ProductSummary,
    T13,
    Payroll
};

struct ReportName
{
    const char *name;
    Kind kind;
};

constexpr ReportName s_reports[] = {
    {"workers", Kind::Workers},
    {"products", Kind::Products},
    {"workers-detailed", Kind::WorkersDetailed},
    {"products-detailed", Kind::ProductsDetailed},
    {"hours", Kind::Hours},
    {"product-summary", Kind::ProductSummary},
    {"t13", Kind::T13},
    {"payroll", Kind::Payroll},
};

// The arguments of one run, checked.
struct Request
{
    QStringList connection;
    Kind kind = Kind::Workers;
    QDate from;
    QDate to;
    ProductKind products = ProductKind::All;
    int month = 0;
    int year = 0;
    QString output;
    // The month-end papers: the form T-13 and the payroll export.
    QString department;
    QString format; // "pdf", "xlsx" or "csv"
};

class UsageError
{
public:
    explicit UsageError(QString text)
        : message(std::move(text))
    {}
    QString message;
};

// Messages of the shared code (the exporter's, for one) go to the error stream instead of boxes;
// any error among them fails the run.
class MessagePrinter : public messages::Handler
{
public:
    explicit MessagePrinter(QTextStream &err)
        : m_err(err)
    {
        messages::setHandler(this);
    }
    ~MessagePrinter() override { messages::setHandler(nullptr); }

    bool show(const messages::Message &message) override
    {
        // The window's texts speak of the spreadsheet program; a job writes a file and says so.
        if (!writing.isEmpty() && message.kind == messages::Kind::Error)
            m_err << "tabel-report: "
                  << QStringLiteral("Не удалось записать файл \"%1\" (cannot write the file)")
                         .arg(writing);
        else
            m_err << "tabel-report: " << message.text;
        if (!message.detail.isEmpty())
            m_err << " (" << message.detail << ')';
        m_err << Qt::endl;
        if (message.kind == messages::Kind::Error)
            errors = true;
        return false;
    }

    bool errors = false;
    QString writing; // the file being written, when there is one

private:
    QTextStream &m_err;
};

QDate parseDate(const QString &text, const char *option)
{
    const QDate date = QDate::fromString(text.trimmed(), QStringLiteral("dd.MM.yyyy"));
    if (!date.isValid())
        throw UsageError(QStringLiteral("неверная дата в --%1: \"%2\", нужна ДД.ММ.ГГГГ "
                                        "(invalid date, expected DD.MM.YYYY)")
                             .arg(QLatin1String(option), text));
    // The windows' date pickers take these dates only.
    const QDate first(2007, 1, 1);
    const QDate last(Clock::today().year() + 1, 12, 31);
    if (date < first || date > last)
        throw UsageError(QStringLiteral("дата в --%1 вне %2..%3 (date out of range)")
                             .arg(QLatin1String(option),
                                  first.toString(QStringLiteral("dd.MM.yyyy")),
                                  last.toString(QStringLiteral("dd.MM.yyyy"))));
    return date;
}

int parseNumber(const QString &text, const char *option, int low, int high)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high)
        throw UsageError(QStringLiteral("неверное значение --%1: \"%2\", нужно от %3 до %4 "
                                        "(invalid value)")
                             .arg(QLatin1String(option), text)
                             .arg(low)
                             .arg(high));
    return value;
}

Request parse(QCommandLineParser &parser)
{
    Request request;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 2)
        throw UsageError(QStringLiteral("лишние аргументы: %1 (too many arguments)")
                             .arg(positional.mid(2).join(QLatin1Char(' '))));
    request.connection = positional;

    if (!parser.isSet(QStringLiteral("report")))
        throw UsageError(QStringLiteral("не задан отчет: --report (no report given)"));
    const QString name = parser.value(QStringLiteral("report")).trimmed();
    bool known = false;
    for (const ReportName &report : s_reports) {
        if (name == QLatin1String(report.name)) {
            request.kind = report.kind;
            known = true;
        }
    }
    if (!known)
        throw UsageError(QStringLiteral("неизвестный отчет \"%1\" (unknown report)").arg(name));

    // Without a period a report covers the previous calendar month, as the menu proposes.
    const QDate thisMonth(Clock::today().year(), Clock::today().month(), 1);
    const QDate lastMonth = thisMonth.addMonths(-1);
    const bool hours = request.kind == Kind::Hours;
    if (hours) {
        for (const char *option : {"from", "to", "kind"})
            if (parser.isSet(QLatin1String(option)))
                throw UsageError(QStringLiteral("--%1 не относится к отчету hours (does not apply "
                                                "to the hours table)")
                                     .arg(QLatin1String(option)));
        request.month = parser.isSet(QStringLiteral("month"))
                            ? parseNumber(parser.value(QStringLiteral("month")), "month", 1, 12)
                            : lastMonth.month();
        request.year = parser.isSet(QStringLiteral("year"))
                           ? parseNumber(parser.value(QStringLiteral("year")), "year", 2007,
                                         Clock::today().year() + 1)
                           : lastMonth.year();
    } else {
        for (const char *option : {"month", "year"})
            if (parser.isSet(QLatin1String(option)))
                throw UsageError(QStringLiteral("--%1 относится только к отчету hours (applies to "
                                                "the hours table only)")
                                     .arg(QLatin1String(option)));
        request.from = parser.isSet(QStringLiteral("from"))
                           ? parseDate(parser.value(QStringLiteral("from")), "from")
                           : lastMonth;
        request.to = parser.isSet(QStringLiteral("to"))
                         ? parseDate(parser.value(QStringLiteral("to")), "to")
                         : thisMonth;
        const QString kind = parser.value(QStringLiteral("kind")).trimmed();
        if (kind.isEmpty() || kind == QLatin1String("all"))
            request.products = ProductKind::All;
        else if (kind == QLatin1String("finished"))
            request.products = ProductKind::Finished;
        else if (kind == QLatin1String("blanks"))
            request.products = ProductKind::Blanks;
        else
            throw UsageError(QStringLiteral("неверный --kind \"%1\": all, finished или blanks "
                                            "(invalid product kind)")
                                 .arg(kind));
    }

    const bool monthEnd = request.kind == Kind::T13 || request.kind == Kind::Payroll;
    if (monthEnd && (request.from.day() != 1 || request.to != request.from.addMonths(1)))
        throw UsageError(QStringLiteral("отчет %1 строится за месяц: --from 01.ММ.ГГГГ --to "
                                        "01.ММ.ГГГГ следующего месяца (a whole month is needed)")
                             .arg(name));
    if (parser.isSet(QStringLiteral("department")) && request.kind != Kind::T13)
        throw UsageError(QStringLiteral("--department относится только к отчету t13 (applies to "
                                        "t13 only)"));
    request.department = parser.value(QStringLiteral("department")).trimmed();
    // The output kinds of each report; the first is named when none is given.
    QStringList kinds{QStringLiteral("pdf")};
    if (request.kind == Kind::ProductSummary)
        kinds = {QStringLiteral("xlsx")};
    else if (request.kind == Kind::T13)
        kinds = {QStringLiteral("pdf"), QStringLiteral("xlsx")};
    else if (request.kind == Kind::Payroll)
        kinds = {QStringLiteral("xlsx"), QStringLiteral("csv")};
    QStringList given;
    for (const QString &kind :
         {QStringLiteral("pdf"), QStringLiteral("xlsx"), QStringLiteral("csv")})
        if (parser.isSet(kind)) {
            if (!kinds.contains(kind))
                throw UsageError(QStringLiteral("отчет %1 пишется в --%2, не в --%3 (wrong output "
                                                "kind)")
                                     .arg(name, kinds.join(QStringLiteral(" или --")), kind));
            given << kind;
        }
    if (given.size() > 1)
        throw UsageError(QStringLiteral("задайте один файл: --%1 (one output file)")
                             .arg(given.join(QStringLiteral(" или --"))));
    request.format = given.isEmpty() ? kinds.first() : given.first();
    const QString wanted = request.format;
    request.output = parser.value(wanted).trimmed();
    if (request.output.isEmpty())
        throw UsageError(QStringLiteral("не задан файл: --%1 (no output file given)").arg(wanted));
    request.output = QFileInfo(request.output).absoluteFilePath();
    if (!QFileInfo(QFileInfo(request.output).absolutePath()).isDir())
        throw UsageError(QStringLiteral("нет папки для файла %1 (the output folder does not "
                                        "exist)")
                             .arg(request.output));
    return request;
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(helpText());
    parser.addPositionalArgument(QStringLiteral("database"), QString(),
                                 QStringLiteral("[database [server]]"));
    parser.addOptions({
        {QStringLiteral("report"), QString(), QStringLiteral("name")},
        {QStringLiteral("from"), QString(), QStringLiteral("date")},
        {QStringLiteral("to"), QString(), QStringLiteral("date")},
        {QStringLiteral("kind"), QString(), QStringLiteral("kind")},
        {QStringLiteral("month"), QString(), QStringLiteral("month")},
        {QStringLiteral("year"), QString(), QStringLiteral("year")},
        {QStringLiteral("pdf"), QString(), QStringLiteral("file")},
        {QStringLiteral("xlsx"), QString(), QStringLiteral("file")},
        {QStringLiteral("csv"), QString(), QStringLiteral("file")},
        {QStringLiteral("department"), QString(), QStringLiteral("name")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QString()},
    });
}

// The period report of one of the four period kinds.
reporting::PeriodReport periodReport(Kind kind)
{
    switch (kind) {
    case Kind::Products:
        return reporting::PeriodReport::Products;
    case Kind::WorkersDetailed:
        return reporting::PeriodReport::WorkersDetailed;
    case Kind::ProductsDetailed:
        return reporting::PeriodReport::ProductsDetailed;
    default:
        return reporting::PeriodReport::Workers;
    }
}

int produce(const Request &request, const BuildStamp &build, QTextStream &err)
{
    MessagePrinter printer(err);
    TDataModule6 dm;
    try {
        dm.ADO_DB.setConnectionString(connection::fromArguments(request.connection));
        // Reports only read: a read-only standby serves them as well as the primary.
        dm.ADO_DB.setReadOnly(true);
        dm.ADO_DB.open();
    } catch (const DbError &error) {
        err << "tabel-report: Подключение к БД отсутствует (cannot connect to the database): "
            << error.message() << Qt::endl;
        return Failed;
    }
    // A database the program would spoil is refused as tabel refuses it.
    const QStringList missing = schema_check::missing(dm.ADO_DB);
    if (!missing.isEmpty()) {
        err << "tabel-report: " << schema_check::message() << Qt::endl;
        for (const QString &line : missing)
            err << "  - " << line << Qt::endl;
        return Failed;
    }
    // A scheduled job never raises the stamp: that would end the office's older copies.
    if (CheckVersion(dm, build, true) == VersionState::DatabaseNewer) {
        err << "tabel-report: Версия программы не соответствует БД: база данных принадлежит более "
               "новой версии, обновите программу (the database belongs to a newer build)"
            << Qt::endl;
        return DatabaseNewer;
    }

    switch (request.kind) {
    case Kind::Workers:
    case Kind::Products:
    case Kind::WorkersDetailed:
    case Kind::ProductsDetailed:
        reporting::preparePeriodReport(dm, periodReport(request.kind), request.from, request.to,
                                       request.products)
            .writePdf(request.output);
        break;
    case Kind::Hours:
        reporting::prepareHoursTable(dm, request.month, request.year).writePdf(request.output);
        break;
    case Kind::ProductSummary:
        printer.writing = QDir::toNativeSeparators(request.output);
        if (!reporting::exportProductSummary(dm, request.from, request.to, request.products,
                                             request.output) &&
            !printer.errors)
            throw report::ReportError(
                QStringLiteral("Не удалось записать файл \"%1\".").arg(request.output));
        break;
    case Kind::T13:
    case Kind::Payroll:
        printer.writing = QDir::toNativeSeparators(request.output);
        if (!monthend::produce(dm, request.kind == Kind::T13, request.from.month(),
                               request.from.year(), request.department, request.format,
                               request.output, err) &&
            !printer.errors)
            throw report::ReportError(
                QStringLiteral("Не удалось записать файл \"%1\".").arg(request.output));
        break;
    }
    return printer.errors ? Failed : Done;
}

} // namespace

QString helpText()
{
    return QStringLiteral(
        "Отчеты tabel из командной строки / tabel reports from the command line.\n"
        "\n"
        "tabel-report [database [server]] --report NAME [options] (--pdf FILE | --xlsx FILE)\n"
        "\n"
        "database, server   база данных и сервер, как у tabel; без сервера - подключение по\n"
        "                   умолчанию / database and server as for tabel; without a server the\n"
        "                   built-in default connection\n"
        "\n"
        "--report NAME      отчет / the report:\n"
        "  workers            Отчет по рабочим (PDF)\n"
        "  products           Отчет по продукции (PDF)\n"
        "  workers-detailed   Детальный отчет по рабочим (PDF)\n"
        "  products-detailed  Детальный отчет по продукции (PDF)\n"
        "  hours              табель часов за месяц / monthly hours table (PDF)\n"
        "  product-summary    сводка по продукции / product summary (XLSX)\n"
        "  t13                табель формы Т-13 за месяц / timesheet form T-13 (PDF, XLSX)\n"
        "  payroll            выгрузка для зарплаты / pay figures for payroll (XLSX, CSV)\n"
        "--from DD.MM.YYYY  начало периода, включительно / period start, included\n"
        "--to DD.MM.YYYY    конец периода, не включается / period end, excluded\n"
        "                   (по умолчанию прошлый месяц / default: the previous month)\n"
        "--kind KIND        all (все, по умолчанию / default), finished (готовая продукция),\n"
        "                   blanks (заготовки)\n"
        "--month M --year Y месяц 1..12 и год отчета hours (по умолчанию прошлый месяц) /\n"
        "                   month and year of the hours table (default: the previous month)\n"
        "--pdf FILE         куда записать PDF / where to write the PDF\n"
        "--xlsx FILE        куда записать книгу / where to write the workbook\n"
        "--csv FILE         куда записать CSV выгрузки payroll (UTF-8, \";\", десятичная запятая) "
        "/\n"
        "                   where to write the payroll CSV\n"
        "--department NAME  структурное подразделение в шапке t13 / the department on the form\n"
        "-h, --help         эта справка / this help\n"
        "--version          версия и сборка программы / version and build stamp\n"
        "\n"
        "Примеры / examples:\n"
        "  tabel-report mirel_erp dbserver --report workers --from 01.02.2024 --to 01.03.2024 "
        "--kind finished --pdf feb.pdf\n"
        "  tabel-report mirel_erp dbserver --report hours --month 3 --year 2024 --pdf march.pdf\n"
        "  tabel-report mirel_erp dbserver --report product-summary --xlsx summary.xlsx\n"
        "  tabel-report mirel_erp dbserver --report t13 --from 01.03.2024 --to 01.04.2024 "
        "--pdf t13.pdf\n"
        "  tabel-report mirel_erp dbserver --report payroll --from 01.03.2024 --to 01.04.2024 "
        "--csv pay.csv\n"
        "\n"
        "Код выхода / exit code: 0 готово / done, 1 ошибка базы данных или файла / database or "
        "file error,\n"
        "2 неверные аргументы / bad arguments, 3 база данных новее программы / the database is "
        "newer than this build.\n");
}

int run(const QStringList &arguments, const BuildStamp &build, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("tabel-report")} + arguments)) {
        err << "tabel-report: " << parser.errorText() << Qt::endl
            << "tabel-report --help: справка / help" << Qt::endl;
        return BadArguments;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << helpText();
        out.flush();
        return Done;
    }
    Request request;
    try {
        request = parse(parser);
    } catch (const UsageError &error) {
        err << "tabel-report: " << error.message << Qt::endl
            << "tabel-report --help: справка / help" << Qt::endl;
        return BadArguments;
    }
    try {
        return produce(request, build, err);
    } catch (const DbError &error) {
        if (error.sqlState() == QLatin1String("25006")) {
            err << "tabel-report: отчету понадобилась запись в базу данных, а отчеты только "
                   "читают её; запустите его на основном сервере (a write was refused: "
                << error.message() << ")" << Qt::endl;
            return Failed;
        }
        err << "tabel-report: ошибка базы данных (database error): " << error.message() << Qt::endl;
    } catch (const report::ReportError &error) {
        err << "tabel-report: " << error.message() << Qt::endl;
    } catch (const std::exception &error) {
        err << "tabel-report: " << QString::fromUtf8(error.what()) << Qt::endl;
    }
    return Failed;
}

} // namespace report_tool
