// Fuzz target for the report expression language. Any text either parses or is refused with a
// ReportError; what parses is evaluated on rows holding every kind of value a report query
// returns, adds up its sums and prints through a display mask, without a crash, a hang or
// undefined behaviour.
//
// Input: the expression, optionally followed by a line feed and a display mask ("#0.00").

#include "output/data_source.h"
#include "output/expression.h"

#include <QDate>
#include <QLocale>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Rows like those of a report query: numbers (numeric comes back as double, counts as integers),
// texts in Russian and with quotes, nulls, dates and a boolean.
class Rows : public report::DataSource
{
public:
    QString name() const override { return QStringLiteral("t_Report"); }
    int rowCount() const override { return int(m_rows.size()); }
    int columnOf(const QString &) const override { return -1; }
    QVariant value(int row, int column) const override { return m_rows.at(row).value(column); }
    int columnCount() const { return int(m_rows.first().size()); }

private:
    const QVector<QVector<QVariant>> m_rows = {
        {QStringLiteral("Иванов Иван Иванович"), 1250.5, qlonglong(3), 0, QDate(2024, 3, 5),
         QStringLiteral("12,5"), true},
        {QStringLiteral("O'Brien"), -0.004, qlonglong(-7), 1, QDate(), QStringLiteral("1e308"),
         false},
        {QVariant(), 1e300, qlonglong(9223372036854775807LL), 7777,
         QVariant(QMetaType(QMetaType::QDate)), QStringLiteral(" 1.5 "), QVariant()},
        {QString(), 0.0, qlonglong(0), QVariant(QMetaType(QMetaType::Int)), QDate(1, 1, 1),
         QStringLiteral("True"), true},
    };
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The program reads and prints numbers with the Russian decimal comma.
    static const bool russian = [] {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        return true;
    }();
    Q_UNUSED(russian);

    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype lineEnd = input.indexOf(QLatin1Char('\n'));
    const QString text = lineEnd < 0 ? input : input.left(lineEnd);
    const QString mask = lineEnd < 0 ? QString() : input.mid(lineEnd + 1);

    report::Symbols symbols;
    report::Expression expression;
    try {
        expression = report::Expression::parse(text, symbols);
    } catch (const report::ReportError &error) {
        // Refused with a message that quotes the expression as written.
        if (!error.message().contains(QLatin1Char('"') + text + QLatin1Char('"')))
            std::abort();
        return 0;
    }

    // Every field reads some column of the rows, as a prepared report resolves them.
    const Rows rows;
    QVector<int> columns;
    for (qsizetype slot = 0; slot < symbols.fields().size(); ++slot)
        columns.append(int(slot % rows.columnCount()));
    QVector<report::Decimal> sums(symbols.sumCount());

    report::Scope scope;
    scope.source = &rows;
    scope.columns = &columns;
    scope.sums = &sums;
    scope.page = 2;
    for (int row = 0; row < rows.rowCount(); ++row) {
        scope.row = row;
        expression.accumulate(scope);
        (void)expression.evaluate(scope).display(mask);
    }
    // A band printed with no current row (a page footer) and without running totals.
    (void)expression.evaluate(report::Scope()).display(mask);
    return 0;
}
