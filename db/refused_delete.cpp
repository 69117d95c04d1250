#include "db/refused_delete.h"

#include "db/data_module.h"
#include "db/db_error.h"

namespace refusal {

namespace {

const QString ForeignKeyViolation = QStringLiteral("23503");

// Which of the three forms a number takes: 0 for 1, 21, ...; 1 for 2-4, 22-24, ...; 2 otherwise.
int formOf(qint64 count)
{
    const qint64 n = count < 0 ? -count : count;
    if (n % 10 == 1 && n % 100 != 11)
        return 0;
    if (n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14))
        return 1;
    return 2;
}

QString formFor(qint64 count, const QString &one, const QString &few, const QString &many)
{
    switch (formOf(count)) {
    case 0:
        return one;
    case 1:
        return few;
    default:
        return many;
    }
}

// "заведена 1 позиция", "заведены 2 позиции", "заведено 88 позиций"
QString filed(qint64 count, const QString &one, const QString &few, const QString &many)
{
    return formFor(count, QStringLiteral("заведена"), QStringLiteral("заведены"),
                   QStringLiteral("заведено")) +
           QLatin1Char(' ') + counted(count, one, few, many);
}

QString entries(qint64 count)
{
    return filed(count, QStringLiteral("позиция"), QStringLiteral("позиции"),
                 QStringLiteral("позиций")) +
           QStringLiteral(" в журнале смен");
}

qint64 countRows(TDataModule6 &dm, const QString &statement, qint64 id)
{
    Dataset rows(dm.ADO_DB);
    rows.setSql(statement);
    rows.setParam(QStringLiteral("id"), id);
    rows.open();
    return rows.integer(QStringLiteral("cnt"));
}

} // namespace

QString counted(qint64 count, const QString &one, const QString &few, const QString &many)
{
    return QString::number(count) + QLatin1Char(' ') + formFor(count, one, few, many);
}

namespace {

// What a refused row is and what holds it: the sentence's start, the count of the holding rows
// (of :id) and the words for that count.
struct Holder
{
    QString refused;
    QString countStatement;
    std::function<QString(qint64)> held;
};

Holder holderOf(Row row)
{
    const QString productEntries = QStringLiteral(
        "select count(*) as cnt from accounts_dep.smena s where s.o_id in (select o.id from "
        "accounts_dep.oper o where o.i_id = :id)");
    const auto count = [](const QString &table, const QString &column) {
        return QStringLiteral("select count(*) as cnt from accounts_dep.%1 where %2 = :id")
            .arg(table, column);
    };
    switch (row) {
    case Row::Worker:
        return {QStringLiteral("Работник не удалён"),
                count(QStringLiteral("smena"), QStringLiteral("w_id")),
                [](qint64 n) { return QStringLiteral("на него ") + entries(n); }};
    case Row::Operation:
        return {QStringLiteral("Операция не удалена"),
                count(QStringLiteral("smena"), QStringLiteral("o_id")),
                [](qint64 n) { return QStringLiteral("по ней ") + entries(n); }};
    case Row::Kind:
        return {QStringLiteral("Вид операции не удалён"),
                count(QStringLiteral("oper"), QStringLiteral("vid")), [](qint64 n) {
                    return QStringLiteral("он указан в ") +
                           counted(n, QStringLiteral("операции"), QStringLiteral("операциях"),
                                   QStringLiteral("операциях")) +
                           QStringLiteral(" справочника цен");
                }};
    case Row::Product:
        return {QStringLiteral("Изделие не удалено"),
                count(QStringLiteral("oper"), QStringLiteral("i_id")), [](qint64 n) {
                    return QStringLiteral("по нему ") +
                           filed(n, QStringLiteral("операция"), QStringLiteral("операции"),
                                 QStringLiteral("операций")) +
                           QStringLiteral(" в справочнике цен");
                }};
    case Row::ProductPrices:
        return {QStringLiteral("Расценки изделия не удалены"), productEntries,
                [](qint64 n) { return QStringLiteral("по ним ") + entries(n); }};
    case Row::ProductElsewhere:
        return {QStringLiteral("Изделие не удалено"),
                productEntries + QStringLiteral(" and s.i_id <> :id"), [](qint64 n) {
                    return QStringLiteral("по его расценкам ") + entries(n) +
                           QStringLiteral(" у других изделий");
                }};
    }
    return {};
}

} // namespace

QString sentence(TDataModule6 &dm, Row row, qint64 id)
{
    const Holder holder = holderOf(row);
    const qint64 count = countRows(dm, holder.countStatement, id);
    // Held by rows this program does not know of (another system's keys).
    const QString held = count == 0 ? QStringLiteral("на эту запись ссылаются другие данные базы")
                                    : holder.held(count);
    return holder.refused + QStringLiteral(": ") + held + QLatin1Char('.');
}

void deleteRows(TDataModule6 &dm, Row row, qint64 id, const std::function<void()> &work)
{
    try {
        dm.ADO_DB.inTransaction(work);
    } catch (const DbError &error) {
        // Inside a caller's transaction nothing can be counted until it has ended.
        if (error.sqlState() != ForeignKeyViolation || dm.ADO_DB.transactionDepth() > 0)
            throw;
        throw DbError::explained(sentence(dm, row, id), error);
    }
}

} // namespace refusal
