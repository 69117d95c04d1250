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

QString sentence(TDataModule6 &dm, Row row, qint64 id)
{
    const QString productEntries = QStringLiteral(
        "select count(*) as cnt from accounts_dep.smena s where s.o_id in (select o.id from "
        "accounts_dep.oper o where o.i_id = :id)");
    QString refused;
    QString held;
    qint64 count = 0;
    switch (row) {
    case Row::Worker:
        refused = QStringLiteral("Работник не удалён");
        count = countRows(dm,
                          QStringLiteral("select count(*) as cnt from accounts_dep.smena where "
                                         "w_id = :id"),
                          id);
        held = QStringLiteral("на него ") + entries(count);
        break;
    case Row::Operation:
        refused = QStringLiteral("Операция не удалена");
        count = countRows(dm,
                          QStringLiteral("select count(*) as cnt from accounts_dep.smena where "
                                         "o_id = :id"),
                          id);
        held = QStringLiteral("по ней ") + entries(count);
        break;
    case Row::Kind:
        refused = QStringLiteral("Вид операции не удалён");
        count = countRows(dm,
                          QStringLiteral("select count(*) as cnt from accounts_dep.oper where "
                                         "vid = :id"),
                          id);
        held = QStringLiteral("он указан в ") +
               counted(count, QStringLiteral("операции"), QStringLiteral("операциях"),
                       QStringLiteral("операциях")) +
               QStringLiteral(" справочника цен");
        break;
    case Row::Product:
        refused = QStringLiteral("Изделие не удалено");
        count = countRows(dm,
                          QStringLiteral("select count(*) as cnt from accounts_dep.oper where "
                                         "i_id = :id"),
                          id);
        held = QStringLiteral("по нему ") +
               filed(count, QStringLiteral("операция"), QStringLiteral("операции"),
                     QStringLiteral("операций")) +
               QStringLiteral(" в справочнике цен");
        break;
    case Row::ProductPrices:
        refused = QStringLiteral("Расценки изделия не удалены");
        count = countRows(dm, productEntries, id);
        held = QStringLiteral("по ним ") + entries(count);
        break;
    case Row::ProductElsewhere:
        refused = QStringLiteral("Изделие не удалено");
        count = countRows(dm, productEntries + QStringLiteral(" and s.i_id <> :id"), id);
        held = QStringLiteral("по его расценкам ") + entries(count) +
               QStringLiteral(" у других изделий");
        break;
    }
    // Held by rows this program does not know of (another system's keys).
    if (count == 0)
        held = QStringLiteral("на эту запись ссылаются другие данные базы");
    return refused + QStringLiteral(": ") + held + QLatin1Char('.');
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
