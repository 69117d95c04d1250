#include "designs/payroll_export.h"

#include "db/dataset.h"
#include "db/month_days.h"
#include "designs/t13_form.h"
#include "output/xlsx_export.h"

#include <QSaveFile>

#include <algorithm>

namespace payroll {

namespace {

// The figures of one worker, as the statement gives them (field, indicator, money).
struct Figure
{
    const char *field;
    const char *indicator;
    bool money;
};

constexpr Figure s_figures[] = {
    {"piece", "piece", true},
    {"piece_net", "piece_net", true},
    {"household", "household", true},
    {"average", "average", true},
    {"piece_hours", "piece_hours", false},
    {"night_hours", "night_hours", false},
    {"dayoff_hours", "dayoff_hours", false},
};

QString integerList(const QList<int> &values)
{
    QStringList texts;
    for (int value : values)
        texts << QString::number(value);
    return QLatin1Char('{') + texts.join(QLatin1Char(',')) + QLatin1Char('}');
}

bool isZero(const QString &amount)
{
    for (const QChar c : amount)
        if (c.isDigit() && c != QLatin1Char('0'))
            return false;
    return true;
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString Export::period() const
{
    return QStringLiteral("%1.%2").arg(month, 2, 10, QLatin1Char('0')).arg(year);
}

QString subject(int month, int year)
{
    return QStringLiteral("Выгрузка для зарплаты ") + MonthDays::monthNames().value(month - 1) +
           QLatin1Char(' ') + QString::number(year);
}

Export read(Connection &connection, int month, int year)
{
    Export data;
    data.month = month;
    data.year = year;
    const MonthDays days(connection, month, year);
    const t13::Settings settings = t13::readSettings(connection);
    QStringList daysOff;
    for (int d = 1; d <= days.daysInMonth; ++d)
        if (days.days[size_t(d - 1)].dayOff)
            daysOff << QDate(year, month, d).toString(Qt::ISODate);

    // Indicators: code and caption.
    Dataset indicators(connection);
    indicators.setSql(QStringLiteral(
        "select indicator, code, caption from accounts_dep.payroll_indicator order by ord, "
        "indicator"));
    indicators.open();
    QHash<QString, std::pair<QString, QString>> named;
    for (indicators.first(); !indicators.eof(); indicators.next())
        named.insert(
            indicators.text(QStringLiteral("indicator")),
            {indicators.text(QStringLiteral("code")), indicators.text(QStringLiteral("caption"))});

    // Money comes as exact text, never through a binary double. Every sum is exact (numeric) and
    // rounded once per worker; the piece pay without the coefficient is the exact quotient of the
    // rounded piece pay, as the worker report prints it.
    Dataset figures(connection);
    figures.setSql(QStringList{
        QStringLiteral("with s as (select s.w_id, sum(((s.kol_vo-s.brak)*s.cena)::numeric) as "
                       "pay, sum(s.time) as hours, sum(s.time) filter (where s.smena = "
                       "any(:night_shifts::integer[])) as night, sum(s.time) filter (where "
                       "s.data::date = any(:days_off1::date[])) as dayoff from accounts_dep.smena "
                       "s where s.data >= :first1 and s.data < :next1 group by s.w_id),"),
        QStringLiteral("f as (select f.id_p::integer as w_id, sum(f.cnt*f.price) filter (where "
                       "f.id_o = 7777) as household, sum(f.cnt*f.price) filter (where f.id_o = "
                       "7778) as average, sum(f.cnt) filter (where f.i_night <> 0 and "
                       ":night_hour_paid = 1) as night, sum(f.cnt) filter (where f.d_date = "
                       "any(:days_off2::date[])) as dayoff from accounts_dep.fatigue f where "
                       "f.d_date >= :first2 and f.d_date < :next2 group by f.id_p)"),
        QStringLiteral("select c.id, c.s_caption as fio, coalesce(trim(c.s_code), '') as tab,"),
        QStringLiteral("round(coalesce(s.pay, 0), 2)::text as piece,"),
        QStringLiteral("round(round(coalesce(s.pay, 0), 2) / 1.2, 2)::text as piece_net,"),
        QStringLiteral("round(coalesce(f.household, 0), 2)::text as household,"),
        QStringLiteral("round(coalesce(f.average, 0), 2)::text as average,"),
        QStringLiteral("coalesce(s.hours, 0) as piece_hours,"),
        QStringLiteral("coalesce(s.night, 0) + coalesce(f.night, 0) as night_hours,"),
        QStringLiteral("coalesce(s.dayoff, 0) + coalesce(f.dayoff, 0) as dayoff_hours"),
        QStringLiteral("from cmn_contractor.person c left join s on s.w_id = c.id left join f on "
                       "f.w_id = c.id where s.w_id is not null or f.w_id is not null"),
        QStringLiteral("order by fio, c.id"),
    });
    figures.setParam(QStringLiteral("night_shifts"), integerList(settings.nightShifts.values()));
    figures.setParam(QStringLiteral("night_hour_paid"), settings.nightHourPaid ? 1 : 0);
    const QString dayOffList = QLatin1Char('{') + daysOff.join(QLatin1Char(',')) + QLatin1Char('}');
    for (const char *n : {"1", "2"}) {
        figures.setParam(QStringLiteral("days_off") + QLatin1String(n), dayOffList);
        figures.setParam(QStringLiteral("first") + QLatin1String(n), days.first);
        figures.setParam(QStringLiteral("next") + QLatin1String(n), days.next);
    }
    figures.open();

    Dataset absent(connection);
    absent.setSql(QStringLiteral(
        "select c.id, c.s_caption as fio, coalesce(trim(c.s_code), '') as tab, a.code, count(*) "
        "as days from accounts_dep.absence a join cmn_contractor.person c on c.id = a.w_id join "
        "accounts_dep.absence_kind k on k.code = a.code where a.d_date >= :first and a.d_date < "
        ":next group by c.id, c.s_caption, c.s_code, a.code, k.ord order by fio, c.id, k.ord"));
    absent.setParam(QStringLiteral("first"), days.first);
    absent.setParam(QStringLiteral("next"), days.next);
    absent.open();

    // One worker's rows: the figures first, then his absences; workers in name order.
    struct Person
    {
        QString name;
        QString number;
        QVector<Row> rows;
    };
    QVector<qint64> order;
    QHash<qint64, Person> people;
    const auto add = [&](qint64 id, const QString &name, const QString &number,
                         const QString &indicator, const QString &amount, bool money) {
        if (isZero(amount))
            return;
        if (!people.contains(id)) {
            order.append(id);
            people.insert(id, {name, number, {}});
        }
        const auto [code, caption] = named.value(indicator, {indicator, indicator});
        people[id].rows.append({number, name, indicator, code, caption, amount, money});
    };
    for (figures.first(); !figures.eof(); figures.next()) {
        const qint64 id = figures.integer(QStringLiteral("id"));
        for (const Figure &figure : s_figures)
            add(id, figures.text(QStringLiteral("fio")), figures.text(QStringLiteral("tab")),
                QLatin1String(figure.indicator),
                Dataset::textOf(figures.value(QLatin1String(figure.field))), figure.money);
    }
    for (absent.first(); !absent.eof(); absent.next())
        add(absent.integer(QStringLiteral("id")), absent.text(QStringLiteral("fio")),
            absent.text(QStringLiteral("tab")),
            QStringLiteral("absence:") + absent.text(QStringLiteral("code")),
            absent.text(QStringLiteral("days")), false);
    // Workers in the order of their names (absences may bring a worker without figures).
    std::stable_sort(order.begin(), order.end(), [&people](qint64 a, qint64 b) {
        return QString::localeAwareCompare(people.value(a).name, people.value(b).name) < 0;
    });
    for (qint64 id : order) {
        const Person &person = people.value(id);
        if (person.number.isEmpty())
            data.withoutNumber << person.name;
        data.rows += person.rows;
    }
    return data;
}

QStringList titles()
{
    return {QStringLiteral("Табельный номер"), QStringLiteral("ФИО"),
            QStringLiteral("Код показателя"),  QStringLiteral("Показатель"),
            QStringLiteral("Сумма или часы"),  QStringLiteral("Период")};
}

QString commaDecimal(const QString &amount)
{
    QString text = amount;
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

QString csvText(const Export &data)
{
    QString text;
    QStringList fields;
    for (const QString &title : titles())
        fields << csvField(title);
    text += fields.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    for (const Row &row : data.rows) {
        fields = {csvField(row.personnelNumber), csvField(row.name),       csvField(row.code),
                  csvField(row.caption),         commaDecimal(row.amount), data.period()};
        text += fields.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    return text;
}

bool writeCsv(const Export &data, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write("\xEF\xBB\xBF");
    file.write(csvText(data).toUtf8());
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void writeWorkbook(const Export &data, XlsxExport &book)
{
    const QStringList heads = titles();
    for (int i = 0; i < heads.size(); ++i)
        book.writeCell(1, i + 1, 1, heads.at(i), true, true, true);
    int line = 2;
    for (const Row &row : data.rows) {
        book.writeCell(1, 1, line, row.personnelNumber, true, true, false);
        book.writeCell(1, 2, line, row.name, true, true, false);
        book.writeCell(1, 3, line, row.code, true, true, false);
        book.writeCell(1, 4, line, row.caption, true, true, false);
        book.writeCell(1, 5, line, row.amount, false, true, false);
        book.writeCell(1, 6, line, data.period(), true, true, false);
        ++line;
    }
}

bool exportWorkbook(const Export &data, const QString &path)
{
    XlsxExport book;
    if (book.create(path) != 1)
        return false;
    writeWorkbook(data, book);
    return book.save() == 1;
}

} // namespace payroll
