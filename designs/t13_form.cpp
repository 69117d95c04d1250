#include "designs/t13_form.h"

#include "db/absences.h"
#include "db/connection.h"
#include "db/dataset.h"
#include "db/month_days.h"
#include "output/data_source.h"
#include "output/report.h"
#include "output/xlsx_export.h"

#include <QRegularExpression>

#include <tuple>

using namespace report;

namespace t13 {

namespace {

// Where the columns of the table stand, in millimetres from the left of the printable area
// (A4 landscape, 10 mm margins: 277 mm).
constexpr double NumberLeft = 0, NumberWidth = 7;
constexpr double NameLeft = 7, NameWidth = 38;
constexpr double PersonnelLeft = 45, PersonnelWidth = 14;
constexpr double DaysLeft = 59, DayWidth = 7.8; // 16 cells a half
constexpr double HalfLeft = DaysLeft + 16 * DayWidth, HalfWidth = 13;
constexpr double MonthDaysLeft = HalfLeft + HalfWidth, MonthDaysWidth = 11;
constexpr double MonthHoursLeft = MonthDaysLeft + MonthDaysWidth, MonthHoursWidth = 13;
constexpr double PayCodeLeft = MonthHoursLeft + MonthHoursWidth, PayCodeWidth = 10;
constexpr double AccountLeft = PayCodeLeft + PayCodeWidth, AccountWidth = 10;
constexpr double PayDaysLeft = AccountLeft + AccountWidth, PayDaysWidth = 8;
constexpr double AbsenceCodeLeft = PayDaysLeft + PayDaysWidth, AbsenceCodeWidth = 12;
constexpr double AbsenceDaysLeft = AbsenceCodeLeft + AbsenceCodeWidth;
constexpr double TableRight = 277;
constexpr double LineHeight = 4.4;
// Absence codes a worker's four lines show; more are joined on the last.
constexpr int AbsenceLines = 4;

const QString NotADay = QStringLiteral("Х");

QString joinedParts(const QVector<QPair<QString, int>> &parts, bool codes)
{
    QStringList texts;
    for (const auto &[code, hours] : parts)
        texts << (codes ? code : QString::number(hours));
    return texts.join(QLatin1Char('/'));
}

// The day's cell of half h (0, 1) at position i (0..15): the day, or 0 where the form has none.
int dayAt(int half, int i, int daysInMonth)
{
    const int day = half == 0 ? i + 1 : i + 16;
    if ((half == 0 && i == 15) || day > daysInMonth)
        return 0;
    return day;
}

Item cell(const QString &expression, double left, double width, double top, double size = 7)
{
    Item item = field(expression, left, width).centred().sized(size).framed(Lines::frame());
    item.top = top;
    item.height = LineHeight;
    item.middle = true;
    return item;
}

Item title(const QString &text, double left, double width, double top, double height,
           double size = 6)
{
    Item item = label(text, left, width).centred().sized(size).framed(Lines::frame());
    item.top = top;
    item.height = height;
    item.middle = true;
    return item;
}

} // namespace

Settings readSettings(Connection &connection)
{
    Settings settings;
    Dataset query(connection);
    query.setSql(QStringLiteral("select name, value from accounts_dep.site_setting"));
    query.open();
    for (query.first(); !query.eof(); query.next()) {
        const QString name = query.text(QStringLiteral("name"));
        const QString value = query.text(QStringLiteral("value")).trimmed();
        if (name == QLatin1String("organisation"))
            settings.organisation = value;
        else if (name == QLatin1String("okpo"))
            settings.okpo = value;
        else if (name == QLatin1String("department"))
            settings.department = value;
        else if (name == QLatin1String("night_shifts")) {
            settings.nightShifts.clear();
            for (const QString &shift :
                 value.split(QRegularExpression(QStringLiteral("[,; ]+")), Qt::SkipEmptyParts))
                settings.nightShifts.insert(shift.toInt());
        } else if (name == QLatin1String("night_hour_paid"))
            settings.nightHourPaid = value != QLatin1String("0") && !value.isEmpty();
    }
    return settings;
}

int Form::totalDays() const
{
    int total = 0;
    for (const Worker &worker : workers)
        total += worker.monthDays;
    return total;
}

int Form::totalHours() const
{
    int total = 0;
    for (const Worker &worker : workers)
        total += worker.monthHours;
    return total;
}

QString Form::warnings() const
{
    QStringList lines;
    if (!withoutNumber.isEmpty())
        lines << QStringLiteral("Без табельного номера: %1")
                     .arg(withoutNumber.join(QStringLiteral(", ")));
    if (!unmarked.isEmpty())
        lines << QStringLiteral("Рабочие дни без часов и без отметки:") << unmarked;
    return lines.join(QLatin1Char('\n'));
}

Form read(Connection &connection, int month, int year, const QDate &drawnUp,
          const QString &department)
{
    Form form;
    form.month = month;
    form.year = year;
    form.number = QString::number(month);
    form.drawnUp = drawnUp;
    form.settings = readSettings(connection);
    if (!department.trimmed().isEmpty())
        form.settings.department = department.trimmed();
    const MonthDays days(connection, month, year);
    form.daysInMonth = days.daysInMonth;

    // The workers of the month: a monthly row or an absence; named as the monthly timesheet
    // names them.
    Dataset people(connection);
    people.setSql(QStringLiteral(
        "select c.id, c.s_caption as fio, coalesce(p.s_staffpos_hl, '') as pos, "
        "coalesce(trim(c.s_code), '') as tab from cmn_contractor.person c left join "
        "accounts_dep.person p on p.id = c.id where c.id in (select h.w_id from "
        "accounts_dep.h_tabel h where h.month = :m and h.year = :y union select a.w_id from "
        "accounts_dep.absence a where a.d_date >= :first and a.d_date < :next) order by fio, "
        "c.id"));
    people.setParam(QStringLiteral("m"), month);
    people.setParam(QStringLiteral("y"), year);
    people.setParam(QStringLiteral("first"), days.first);
    people.setParam(QStringLiteral("next"), days.next);
    people.open();

    Dataset rowsOfMonth(connection);
    QStringList dayColumns;
    for (int day = 1; day <= 31; ++day)
        dayColumns << QStringLiteral("coalesce(d%1, 0) as d%1").arg(day);
    rowsOfMonth.setSql(QStringLiteral("select w_id, smena, i_type, i_night, ") +
                       dayColumns.join(QStringLiteral(", ")) +
                       QStringLiteral(" from accounts_dep.h_tabel where month = :m and year = :y"));
    rowsOfMonth.setParam(QStringLiteral("m"), month);
    rowsOfMonth.setParam(QStringLiteral("y"), year);
    rowsOfMonth.open();
    // Per worker and day: day hours, night hours, overtime hours.
    struct Hours
    {
        int day = 0, night = 0, overtime = 0;
    };
    QHash<qint64, std::array<Hours, 31>> hours;
    for (rowsOfMonth.first(); !rowsOfMonth.eof(); rowsOfMonth.next()) {
        const qint64 w = rowsOfMonth.integer(QStringLiteral("w_id"));
        const int shift = int(rowsOfMonth.integer(QStringLiteral("smena")));
        const bool hourPaid = shift == 0;
        const bool overtime = shift == 4;
        const bool night = hourPaid ? form.settings.nightHourPaid &&
                                          rowsOfMonth.integer(QStringLiteral("i_night")) != 0
                                    : form.settings.nightShifts.contains(shift);
        auto &worker = hours[w];
        for (int day = 1; day <= 31; ++day) {
            const int value = int(rowsOfMonth.integer(QStringLiteral("d%1").arg(day)));
            Hours &h = worker[size_t(day - 1)];
            if (overtime)
                h.overtime += value;
            else if (night)
                h.night += value;
            else
                h.day += value;
        }
    }
    const QHash<absences::WorkerDay, QString> marks = absences::ofMonth(connection, month, year);
    const QVector<absences::Kind> kinds = absences::kinds(connection);

    int number = 0;
    for (people.first(); !people.eof(); people.next()) {
        Worker worker;
        worker.number = ++number;
        worker.id = people.integer(QStringLiteral("id"));
        worker.name = people.text(QStringLiteral("fio"));
        worker.position = people.text(QStringLiteral("pos"));
        worker.personnelNumber = people.text(QStringLiteral("tab"));
        if (worker.personnelNumber.isEmpty())
            form.withoutNumber << worker.name;
        const std::array<Hours, 31> workerHours = hours.value(worker.id);
        QMap<QString, int> absent;
        QStringList unmarked;
        for (int d = 1; d <= form.daysInMonth; ++d) {
            const Hours &h = workerHours[size_t(d - 1)];
            const bool dayOff = days.days[size_t(d - 1)].dayOff;
            QVector<QPair<QString, int>> parts;
            if (dayOff) {
                if (h.day + h.overtime > 0)
                    parts.append({QStringLiteral("РВ"), h.day + h.overtime});
            } else {
                if (h.day > 0)
                    parts.append({QStringLiteral("Я"), h.day});
                if (h.overtime > 0)
                    parts.append({QStringLiteral("С"), h.overtime});
            }
            if (h.night > 0)
                parts.insert(parts.isEmpty() || parts.first().first == QStringLiteral("С") ? 0 : 1,
                             {QStringLiteral("Н"), h.night});
            Day &cell = worker.days[size_t(d - 1)];
            cell.worked = h.day + h.night + h.overtime;
            cell.codes = joinedParts(parts, true);
            cell.hours = joinedParts(parts, false);
            const QString mark = marks.value({worker.id, d});
            if (!mark.isEmpty()) {
                cell.codes = cell.codes.isEmpty() ? mark : cell.codes + QLatin1Char('/') + mark;
                ++absent[mark];
            } else if (cell.worked == 0 && dayOff) {
                cell.codes = QStringLiteral("В");
            } else if (cell.worked == 0) {
                cell.unmarked = true;
                unmarked << QString::number(d);
            }
            if (cell.worked > 0) {
                const int half = d <= 15 ? 0 : 1;
                ++worker.halfDays[half];
                worker.halfHours[half] += cell.worked;
            }
        }
        worker.monthDays = worker.halfDays[0] + worker.halfDays[1];
        worker.monthHours = worker.halfHours[0] + worker.halfHours[1];
        for (const absences::Kind &kind : kinds)
            if (absent.contains(kind.code))
                worker.absences.append({kind.code, absent.take(kind.code)});
        for (auto it = absent.cbegin(); it != absent.cend(); ++it)
            worker.absences.append({it.key(), it.value()});
        if (!unmarked.isEmpty())
            form.unmarked << QStringLiteral("%1: %2").arg(worker.name,
                                                          unmarked.join(QStringLiteral(", ")));
        form.workers.append(worker);
    }
    return form;
}

QString subject(const Form &form)
{
    return QStringLiteral("Табель Т-13 ") + MonthDays::monthNames().value(form.month - 1) +
           QLatin1Char(' ') + QString::number(form.year);
}

TableSource rows(const Form &form)
{
    QStringList columns{QStringLiteral("n"), QStringLiteral("fio"), QStringLiteral("pos"),
                        QStringLiteral("tab")};
    for (int half = 0; half < 2; ++half)
        for (int i = 0; i < 16; ++i)
            columns << QStringLiteral("c%1_%2").arg(half).arg(i)
                    << QStringLiteral("h%1_%2").arg(half).arg(i);
    columns << QStringLiteral("hd0") << QStringLiteral("hh0") << QStringLiteral("hd1")
            << QStringLiteral("hh1") << QStringLiteral("md") << QStringLiteral("mh");
    for (int i = 0; i < AbsenceLines; ++i)
        columns << QStringLiteral("ac%1").arg(i) << QStringLiteral("ad%1").arg(i);
    TableSource source(QStringLiteral("t13"), columns);
    for (const Worker &worker : form.workers) {
        QVector<QVariant> row{worker.number, worker.name, worker.position, worker.personnelNumber};
        for (int half = 0; half < 2; ++half)
            for (int i = 0; i < 16; ++i) {
                const int day = dayAt(half, i, form.daysInMonth);
                if (day == 0) {
                    row << NotADay << NotADay;
                    continue;
                }
                const Day &cell = worker.days[size_t(day - 1)];
                row << cell.codes << cell.hours;
            }
        for (int half = 0; half < 2; ++half)
            row << worker.halfDays[half] << worker.halfHours[half];
        row << worker.monthDays << worker.monthHours;
        for (int i = 0; i < AbsenceLines; ++i) {
            if (i >= worker.absences.size()) {
                row << QString() << QString();
                continue;
            }
            if (i == AbsenceLines - 1 && worker.absences.size() > AbsenceLines) {
                QStringList codes, numbers;
                for (int k = i; k < worker.absences.size(); ++k) {
                    codes << worker.absences.at(k).first;
                    numbers << QString::number(worker.absences.at(k).second);
                }
                row << codes.join(QLatin1Char('/')) << numbers.join(QLatin1Char('/'));
                continue;
            }
            row << worker.absences.at(i).first << worker.absences.at(i).second;
        }
        source.addRow(row);
    }
    return source;
}

Layout design()
{
    Layout layout;
    layout.pageSize = QPageSize::A4;
    layout.orientation = QPageLayout::Landscape;
    layout.margins = QMarginsF(10, 10, 10, 10);
    layout.font = {QStringLiteral("Arial"), 8, false};

    // The form's header, once.
    Band header = band(40);
    header.add(
        label(QStringLiteral("Унифицированная форма № Т-13"), 180, 97).rightAligned().sized(6));
    header.add(
        label(QStringLiteral("Утверждена постановлением Госкомстата России от 05.01.2004 № 1"), 150,
              127)
            .rightAligned()
            .sized(6)
            .at(3));
    header.add(
        label(QStringLiteral("Код"), 252, 25).centred().sized(7).at(7).framed(Lines::frame()));
    header.add(label(QStringLiteral("Форма по ОКУД"), 200, 50).rightAligned().sized(7).at(11.5));
    header.add(label(QStringLiteral("0301008"), 252, 25)
                   .centred()
                   .sized(7)
                   .at(11.5)
                   .framed(Lines::frame()));
    header.add(label(QStringLiteral("по ОКПО"), 200, 50).rightAligned().sized(7).at(16));
    header.add(label(QString(), 252, 25)
                   .named(QStringLiteral("Okpo"))
                   .centred()
                   .sized(7)
                   .at(16)
                   .framed(Lines::frame()));
    header.add(label(QString(), 0, 195)
                   .named(QStringLiteral("Organisation"))
                   .bold()
                   .at(11.5)
                   .framed(Lines{{}, solidLine(), {}, {}}));
    header.add(
        label(QStringLiteral("(наименование организации)"), 0, 195).centred().sized(5.5).at(15.6));
    header.add(label(QString(), 0, 195)
                   .named(QStringLiteral("Department"))
                   .at(19.5)
                   .framed(Lines{{}, solidLine(), {}, {}}));
    header.add(
        label(QStringLiteral("(структурное подразделение)"), 0, 195).centred().sized(5.5).at(23.6));
    // Number, date, period.
    const double boxTop = 27;
    header.add(title(QStringLiteral("Номер документа"), 150, 25, boxTop, 4.4));
    header.add(title(QStringLiteral("Дата составления"), 175, 25, boxTop, 4.4));
    header.add(title(QStringLiteral("Отчетный период"), 215, 50, boxTop - 4.4, 4.4));
    header.add(title(QStringLiteral("с"), 215, 25, boxTop, 4.4));
    header.add(title(QStringLiteral("по"), 240, 25, boxTop, 4.4));
    for (const auto &[name, left] : {std::pair{"DocNumber", 150.0}, std::pair{"DrawnUp", 175.0},
                                     std::pair{"PeriodFrom", 215.0}, std::pair{"PeriodTo", 240.0}})
        header.add(
            title(QString(), left, 25, boxTop + 4.4, 4.6, 8).named(QLatin1String(name)).bold());
    header.add(label(QStringLiteral("ТАБЕЛЬ УЧЕТА РАБОЧЕГО ВРЕМЕНИ"), 0, 146)
                   .bold()
                   .sized(11)
                   .rightAligned()
                   .at(boxTop + 4.6));

    // The column titles and numbers, on every page.
    const double t1 = 0, t2 = 5, t3 = 9.4, t5 = 13.8;
    const double titleHeight = t5 + 3.6;
    Band titles = band(titleHeight);
    titles.add(title(QStringLiteral("№ п/п"), NumberLeft, NumberWidth, t1, t5, 5));
    titles.add(title(QStringLiteral("Фамилия, инициалы, должность"), NameLeft, NameWidth, t1, t5));
    titles.add(
        title(QStringLiteral("Табельный номер"), PersonnelLeft, PersonnelWidth, t1, t5, 5.5));
    titles.add(title(QStringLiteral("Отметки о явках и неявках на работу по числам месяца"),
                     DaysLeft, 16 * DayWidth, t1, t2 - t1));
    for (int i = 0; i < 16; ++i) {
        titles.add(title(i < 15 ? QString::number(i + 1) : NotADay, DaysLeft + i * DayWidth,
                         DayWidth, t2, t3 - t2, 6.5));
        titles.add(
            title(QString::number(i + 16), DaysLeft + i * DayWidth, DayWidth, t3, t5 - t3, 6.5));
    }
    titles.add(title(QStringLiteral("Итого за"), HalfLeft, HalfWidth, t1, t2 - t1, 5.5));
    titles.add(title(QStringLiteral("I половину"), HalfLeft, HalfWidth, t2, t3 - t2, 5));
    titles.add(title(QStringLiteral("II половину"), HalfLeft, HalfWidth, t3, t5 - t3, 5));
    titles.add(title(QStringLiteral("Отработано за месяц"), MonthDaysLeft,
                     MonthDaysWidth + MonthHoursWidth, t1, t3 - t1, 5.5));
    titles.add(title(QStringLiteral("дни"), MonthDaysLeft, MonthDaysWidth, t3, t5 - t3));
    titles.add(title(QStringLiteral("часы"), MonthHoursLeft, MonthHoursWidth, t3, t5 - t3));
    titles.add(title(QStringLiteral("Данные для оплаты"), PayCodeLeft,
                     PayCodeWidth + AccountWidth + PayDaysWidth, t1, t3 - t1, 5.5));
    titles.add(title(QStringLiteral("код оплаты"), PayCodeLeft, PayCodeWidth, t3, t5 - t3, 5));
    titles.add(title(QStringLiteral("корр. счет"), AccountLeft, AccountWidth, t3, t5 - t3, 5));
    titles.add(title(QStringLiteral("дни (ч.)"), PayDaysLeft, PayDaysWidth, t3, t5 - t3, 5));
    titles.add(title(QStringLiteral("Неявки по причинам"), AbsenceCodeLeft,
                     TableRight - AbsenceCodeLeft, t1, t3 - t1, 5.5));
    titles.add(title(QStringLiteral("код"), AbsenceCodeLeft, AbsenceCodeWidth, t3, t5 - t3));
    titles.add(title(QStringLiteral("дни (часы)"), AbsenceDaysLeft, TableRight - AbsenceDaysLeft,
                     t3, t5 - t3));
    // The column numbers of the form.
    const std::pair<double, double> numbered[] = {{NumberLeft, NumberWidth},
                                                  {NameLeft, NameWidth},
                                                  {PersonnelLeft, PersonnelWidth},
                                                  {DaysLeft, 16 * DayWidth},
                                                  {HalfLeft, HalfWidth},
                                                  {MonthDaysLeft, MonthDaysWidth},
                                                  {MonthHoursLeft, MonthHoursWidth},
                                                  {PayCodeLeft, PayCodeWidth},
                                                  {AccountLeft, AccountWidth},
                                                  {PayDaysLeft, PayDaysWidth},
                                                  {AbsenceCodeLeft, AbsenceCodeWidth},
                                                  {AbsenceDaysLeft, TableRight - AbsenceDaysLeft}};
    int columnNumber = 0;
    for (const auto &[left, width] : numbered)
        titles.add(title(QString::number(++columnNumber), left, width, t5, 3.6, 5.5));

    Group whole;
    whole.header = header;
    Group page;
    page.header = titles;
    page.reprintOnNewPage = true;

    // The totals of the form and the signatures.
    Band foot = band(40);
    foot.add(label(QStringLiteral("Итого по табелю:"), NameLeft, 60).bold().at(1));
    foot.add(
        field(QStringLiteral("SUM(md)"), MonthDaysLeft, MonthDaysWidth).centred().bold().at(1));
    foot.add(
        field(QStringLiteral("SUM(mh)"), MonthHoursLeft, MonthHoursWidth).centred().bold().at(1));
    const QStringList signers{QStringLiteral("Ответственное лицо"),
                              QStringLiteral("Руководитель структурного подразделения"),
                              QStringLiteral("Работник кадровой службы")};
    for (int i = 0; i < signers.size(); ++i) {
        const double top = 9 + i * 10;
        foot.add(label(signers.at(i), 0, 60).at(top));
        const std::pair<double, const char *> blanks[] = {{62, "(должность)"},
                                                          {112, "(личная подпись)"},
                                                          {152, "(расшифровка подписи)"},
                                                          {212, "(дата)"}};
        for (const auto &[left, caption] : blanks) {
            foot.add(label(QString(), left, left == 212 ? 30 : 45)
                         .at(top)
                         .framed(Lines{{}, solidLine(), {}, {}}));
            foot.add(label(QString::fromUtf8(caption), left, left == 212 ? 30 : 45)
                         .centred()
                         .sized(5.5)
                         .at(top + 4.2));
        }
    }
    whole.footer = foot;
    layout.groups = {whole, page};

    // Four lines a worker: codes and hours of days 1-15, then of days 16-31.
    Band detail = band(4 * LineHeight);
    Item number =
        field(QStringLiteral("n"), NumberLeft, NumberWidth).centred().framed(Lines::frame());
    number.top = 0;
    number.height = 4 * LineHeight;
    number.middle = true;
    detail.add(number);
    // The name above, the position below, in one framed cell.
    Item name = field(QStringLiteral("fio"), NameLeft, NameWidth)
                    .sized(7.5)
                    .framed(Lines{solidLine(), {}, solidLine(), solidLine()});
    name.top = 0;
    name.height = 2 * LineHeight;
    name.middle = true;
    detail.add(name);
    Item position = field(QStringLiteral("pos"), NameLeft, NameWidth)
                        .sized(6.5)
                        .framed(Lines{{}, solidLine(), solidLine(), solidLine()});
    position.top = 2 * LineHeight;
    position.height = 2 * LineHeight;
    position.middle = true;
    detail.add(position);
    Item personnel = field(QStringLiteral("tab"), PersonnelLeft, PersonnelWidth)
                         .centred()
                         .framed(Lines::frame());
    personnel.top = 0;
    personnel.height = 4 * LineHeight;
    personnel.middle = true;
    detail.add(personnel);
    for (int half = 0; half < 2; ++half) {
        const double codesTop = 2 * half * LineHeight;
        const double hoursTop = codesTop + LineHeight;
        for (int i = 0; i < 16; ++i) {
            detail.add(cell(QStringLiteral("c%1_%2").arg(half).arg(i), DaysLeft + i * DayWidth,
                            DayWidth, codesTop, 6.5));
            detail.add(cell(QStringLiteral("h%1_%2").arg(half).arg(i), DaysLeft + i * DayWidth,
                            DayWidth, hoursTop));
        }
        detail.add(cell(QStringLiteral("hd%1").arg(half), HalfLeft, HalfWidth, codesTop));
        detail.add(cell(QStringLiteral("hh%1").arg(half), HalfLeft, HalfWidth, hoursTop));
    }
    for (const auto &[expression, left, width] :
         {std::tuple{"md", MonthDaysLeft, MonthDaysWidth},
          std::tuple{"mh", MonthHoursLeft, MonthHoursWidth}}) {
        Item total =
            field(QLatin1String(expression), left, width).centred().bold().framed(Lines::frame());
        total.top = 0;
        total.height = 4 * LineHeight;
        total.middle = true;
        detail.add(total);
    }
    for (const auto &[left, width] :
         {std::pair{PayCodeLeft, PayCodeWidth}, std::pair{AccountLeft, AccountWidth},
          std::pair{PayDaysLeft, PayDaysWidth}}) {
        Item empty = label(QString(), left, width).framed(Lines::frame());
        empty.top = 0;
        empty.height = 4 * LineHeight;
        detail.add(empty);
    }
    for (int i = 0; i < AbsenceLines; ++i) {
        detail.add(
            cell(QStringLiteral("ac%1").arg(i), AbsenceCodeLeft, AbsenceCodeWidth, i * LineHeight));
        detail.add(cell(QStringLiteral("ad%1").arg(i), AbsenceDaysLeft,
                        TableRight - AbsenceDaysLeft, i * LineHeight));
    }
    layout.detail = detail;
    layout.pageFooter = band(5).add(
        field(QStringLiteral("'Страница ' + STR(PAGENUMBER)"), 230, 47).rightAligned().sized(7));
    return layout;
}

PreparedReport prepare(const Form &form, const QPageLayout *paper)
{
    Report layout(design());
    const QString date = QStringLiteral("dd.MM.yyyy");
    layout.setText(QStringLiteral("Organisation"), form.settings.organisation);
    layout.setText(QStringLiteral("Okpo"), form.settings.okpo);
    layout.setText(QStringLiteral("Department"), form.settings.department);
    layout.setText(QStringLiteral("DocNumber"), form.number);
    layout.setText(QStringLiteral("DrawnUp"), form.drawnUp.toString(date));
    layout.setText(QStringLiteral("PeriodFrom"), form.first().toString(date));
    layout.setText(QStringLiteral("PeriodTo"), form.last().toString(date));
    const TableSource source = rows(form);
    PreparedReport prepared = paper ? layout.prepare(source, *paper) : layout.prepare(source);
    prepared.title = subject(form);
    return prepared;
}

void writeWorkbook(const Form &form, XlsxExport &book)
{
    const QString date = QStringLiteral("dd.MM.yyyy");
    const auto text = [&book](int column, int row, const QString &value, bool bold = false) {
        book.writeCell(1, column, row, value, true, false, bold);
    };
    const auto number = [&book](int column, int row, const QString &value, bool bold = false) {
        book.writeCell(1, column, row, value, false, false, bold);
    };
    text(1, 1,
         QStringLiteral("Унифицированная форма № Т-13. Утверждена постановлением "
                        "Госкомстата России от 05.01.2004 № 1. Форма по ОКУД 0301008"));
    text(1, 2, QStringLiteral("Организация:"));
    text(3, 2, form.settings.organisation, true);
    text(30, 2, QStringLiteral("по ОКПО"));
    text(33, 2, form.settings.okpo);
    text(1, 3, QStringLiteral("Структурное подразделение:"));
    text(3, 3, form.settings.department, true);
    text(1, 4, QStringLiteral("ТАБЕЛЬ УЧЕТА РАБОЧЕГО ВРЕМЕНИ"), true);
    text(1, 5, QStringLiteral("Номер документа"));
    text(3, 5, form.number);
    text(1, 6, QStringLiteral("Дата составления"));
    text(3, 6, form.drawnUp.toString(date));
    text(1, 7, QStringLiteral("Отчетный период с"));
    text(3, 7, form.first().toString(date));
    text(5, 7, QStringLiteral("по"));
    text(6, 7, form.last().toString(date));

    // Columns: 1 number, 2 name and position, 3 personnel number, 4 line, 5..20 the half's
    // days, 21 the half's total, 22 days, 23 hours of the month, 24 absence code, 25 its days.
    const int titleRow = 9;
    const QStringList titles{QStringLiteral("Номер по порядку"),
                             QStringLiteral("Фамилия, инициалы, должность"),
                             QStringLiteral("Табельный номер"), QString()};
    for (int i = 0; i < titles.size(); ++i)
        text(i + 1, titleRow, titles.at(i), true);
    text(5, titleRow, QStringLiteral("Отметки о явках и неявках на работу по числам месяца"), true);
    for (int i = 0; i < 16; ++i) {
        text(5 + i, titleRow + 1, i < 15 ? QString::number(i + 1) : NotADay, true);
        text(5 + i, titleRow + 2, QString::number(i + 16), true);
    }
    text(21, titleRow + 1, QStringLiteral("Итого за I половину"), true);
    text(21, titleRow + 2, QStringLiteral("Итого за II половину"), true);
    text(22, titleRow, QStringLiteral("Отработано за месяц"), true);
    text(22, titleRow + 1, QStringLiteral("дни"), true);
    text(23, titleRow + 1, QStringLiteral("часы"), true);
    text(24, titleRow, QStringLiteral("Неявки по причинам"), true);
    text(24, titleRow + 1, QStringLiteral("код"), true);
    text(25, titleRow + 1, QStringLiteral("дни (часы)"), true);
    const int numbers[] = {1, 2, 3, 0, 4, 5, 6, 7, 8, 9};
    const int numberedColumns[] = {1, 2, 3, 4, 5, 21, 22, 23, 24, 25};
    for (int i = 0; i < 10; ++i)
        if (numbers[i] > 0)
            number(numberedColumns[i], titleRow + 3, QString::number(numbers[i]), true);

    int row = titleRow + 4;
    const QStringList lineNames{QStringLiteral("коды 1-15"), QStringLiteral("часы 1-15"),
                                QStringLiteral("коды 16-31"), QStringLiteral("часы 16-31")};
    for (const Worker &worker : form.workers) {
        number(1, row, QString::number(worker.number));
        text(2, row, worker.name);
        text(2, row + 1, worker.position);
        text(3, row, worker.personnelNumber);
        for (int line = 0; line < 4; ++line) {
            const int half = line / 2;
            const bool codes = line % 2 == 0;
            text(4, row + line, lineNames.at(line));
            for (int i = 0; i < 16; ++i) {
                const int day = dayAt(half, i, form.daysInMonth);
                const Day *cell = day > 0 ? &worker.days[size_t(day - 1)] : nullptr;
                if (!cell)
                    text(5 + i, row + line, NotADay);
                else if (codes)
                    text(5 + i, row + line, cell->codes);
                else
                    number(5 + i, row + line, cell->hours);
            }
            number(21, row + line,
                   QString::number(codes ? worker.halfDays[half] : worker.halfHours[half]));
        }
        number(22, row, QString::number(worker.monthDays), true);
        number(23, row, QString::number(worker.monthHours), true);
        for (int i = 0; i < worker.absences.size(); ++i) {
            text(24, row + i, worker.absences.at(i).first);
            number(25, row + i, QString::number(worker.absences.at(i).second));
        }
        row += std::max<int>(4, int(worker.absences.size()));
    }
    text(2, row, QStringLiteral("Итого по табелю"), true);
    number(22, row, QString::number(form.totalDays()), true);
    number(23, row, QString::number(form.totalHours()), true);
    row += 2;
    for (const QString &signer : {QStringLiteral("Ответственное лицо"),
                                  QStringLiteral("Руководитель структурного подразделения"),
                                  QStringLiteral("Работник кадровой службы")}) {
        text(2, row, signer);
        text(5, row,
             QStringLiteral("(должность)   (личная подпись)   (расшифровка подписи)   "
                            "(дата)"));
        row += 2;
    }
}

bool exportWorkbook(const Form &form, const QString &path)
{
    XlsxExport book;
    if (book.create(path) != 1)
        return false;
    writeWorkbook(form, book);
    return book.save() == 1;
}

} // namespace t13
