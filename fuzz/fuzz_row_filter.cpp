// Fuzz target for the client-side filter of a Dataset: the filter expressions the windows write
// ("i_id<>7777 and naimen=0", "nom like 'А%'") and the texts a user types into a search box,
// matched as values. Any expression either parses or is refused with a DbError; a typed text never
// reads as expression syntax, and a row holding exactly the typed text is always found by it.
//
// Input: a filter expression, optionally followed by a line feed and a typed search text (without
// one, the expression's text is also the typed text).

#include "db/db_error.h"
#include "db/row_filter.h"

#include <QDate>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// A failed property is a crash the fuzzer keeps.
void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Rows of a catalogue list as the database returns them: texts, integers, numerics, nulls, dates.
struct Rows
{
    const QStringList fields = {QStringLiteral("nom"),   QStringLiteral("naimen"),
                                QStringLiteral("i_id"),  QStringLiteral("fio"),
                                QStringLiteral("price"), QStringLiteral("d_date")};
    QVector<QVector<QVariant>> rows = {
        {QStringLiteral("Ящик 'Север'"), 0, 7777, QStringLiteral("Ёлкин Пётр"), 12.5,
         QDate(2024, 3, 5)},
        {QStringLiteral("100%_хлопок"), 1, -1, QVariant(), 0.0,
         QVariant(QMetaType(QMetaType::QDate))},
        {QString(), QVariant(QMetaType(QMetaType::Int)), 2147483647, QStringLiteral("  "), -1e-9,
         QDate()},
    };

    // A field the rows lack still reads some column, so that every condition gets evaluated.
    QVariant value(const QVector<QVariant> &row, const QString &field) const
    {
        const qsizetype at = fields.indexOf(field.toLower());
        return row.at(at >= 0 ? at : field.size() % fields.size());
    }

    void filter(const RowFilter &filter) const
    {
        for (const QVector<QVariant> &row : rows)
            (void)filter.accepts([&](const QString &field) { return value(row, field); });
    }

    // Whether the row holding `text` in the field "nom" passes the filter.
    static bool findsRowOf(const RowFilter &filter, const QString &text)
    {
        return filter.accepts([&](const QString &) { return QVariant(text); });
    }
};

QString quoted(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QLatin1String("''")) +
           QLatin1Char('\'');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype lineEnd = input.indexOf(QLatin1Char('\n'));
    const QString expression = lineEnd < 0 ? input : input.left(lineEnd);
    const QString typed = lineEnd < 0 ? input : input.mid(lineEnd + 1);
    const QString field = QStringLiteral("nom");
    Rows rows;
    rows.rows.append({typed, typed, typed, typed, typed, typed});

    try {
        rows.filter(RowFilter::parse(expression));
    } catch (const DbError &) {
        // refused with a message, as a faulty filter of a window would be
    }

    // The typed text as a value: every way a window matches it, and never as syntax.
    const RowFilter searches[] = {
        RowFilter::startsWith(field, typed),
        RowFilter::contains(field, typed),
        RowFilter::equal(field, typed),
        RowFilter::like(field, typed),
        RowFilter::equal(field, typed.toDouble()),
    };
    for (const RowFilter &search : searches)
        rows.filter(search);
    require(Rows::findsRowOf(searches[0], typed));
    require(Rows::findsRowOf(searches[1], typed));
    require(Rows::findsRowOf(searches[2], typed));
    require(Rows::findsRowOf(searches[3], typed));
    require(RowFilter::likeMatches(typed, typed));

    // A text quoted into an expression reads back as exactly that text.
    for (const QString &op :
         {QStringLiteral("="), QStringLiteral(" like "), QStringLiteral("<>")}) {
        const RowFilter parsed = RowFilter::parse(field + op + quoted(typed));
        require(parsed.conditions().size() == 1);
        require(parsed.conditions().first().value.toString() == typed);
        rows.filter(parsed);
    }
    return 0;
}
