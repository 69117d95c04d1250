#include "db/batch.h"

#include "db/answer.h"
#include "db/connection.h"
#include "db/dataset.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// Each part's rows carry its number, the query's place in the part and the row's place in that
// query's answer before the query's own columns.
const QString PartColumn = QStringLiteral("tabel_part");
constexpr int MarkColumns = 3;

} // namespace

Batch &Batch::open(const QList<Dataset *> &sameColumns)
{
    if (!sameColumns.isEmpty())
        m_parts.append(sameColumns);
    return *this;
}

void Batch::run()
{
    if (m_parts.isEmpty())
        return;
    QStringList parts;
    for (qsizetype p = 0; p < m_parts.size(); ++p) {
        QStringList queries;
        for (qsizetype q = 0; q < m_parts.at(p).size(); ++q)
            queries << QStringLiteral("select %1 as %2, %3 as tabel_query, row_number() over () as "
                                      "tabel_row, q.* from (\n%4\n) q")
                           .arg(p)
                           .arg(PartColumn)
                           .arg(q)
                           .arg(m_parts.at(p).at(q)->statementText());
        parts << queries.join(QStringLiteral("\nunion all\n"));
    }
    // Parts of different columns side by side: a join that never matches gives each row of a
    // part with nulls in the other parts' columns.
    QString statement;
    QStringList part, query, row;
    if (parts.size() == 1) {
        statement = QStringLiteral("select * from (\n%1\n) p0").arg(parts.first());
        part << QStringLiteral("p0.tabel_part");
        query << QStringLiteral("p0.tabel_query");
        row << QStringLiteral("p0.tabel_row");
    } else {
        QStringList from;
        for (qsizetype p = 0; p < parts.size(); ++p) {
            const QString alias = QStringLiteral("p%1").arg(p);
            from << QStringLiteral("(\n%1\n) %2").arg(parts.at(p), alias) +
                        (p == 0 ? QString() : QStringLiteral(" on false"));
            part << alias + QStringLiteral(".tabel_part");
            query << alias + QStringLiteral(".tabel_query");
            row << alias + QStringLiteral(".tabel_row");
        }
        statement = QStringLiteral("select * from ") + from.join(QStringLiteral("\nfull join "));
    }
    const auto coalesced = [](const QStringList &columns) {
        return columns.size() == 1 ? columns.first()
                                   : QStringLiteral("coalesce(") +
                                         columns.join(QStringLiteral(", ")) + QLatin1Char(')');
    };
    statement += QStringLiteral("\norder by %1, %2, %3")
                     .arg(coalesced(part), coalesced(query), coalesced(row));

    for (const QList<Dataset *> &queries : std::as_const(m_parts))
        for (Dataset *dataset : queries)
            dataset->close();
    QSqlQuery result = m_connection.run(statement);

    // Where each part's columns begin: at its own mark.
    const QSqlRecord record = result.record();
    QList<int> starts;
    for (int i = 0; i < record.count(); ++i)
        if (record.fieldName(i) == PartColumn)
            starts << i;
    starts << record.count();
    QList<QList<QVector<QVector<QVariant>>>> rows(m_parts.size());
    for (qsizetype p = 0; p < m_parts.size(); ++p)
        rows[p].resize(m_parts.at(p).size());
    while (result.next()) {
        for (qsizetype p = 0; p + 1 < starts.size() && p < m_parts.size(); ++p) {
            const int start = starts.at(p);
            if (result.isNull(start))
                continue;
            const qint64 q = result.value(start + 1).toLongLong();
            if (q >= 0 && q < rows.at(p).size())
                rows[p][q].append(answer::values(result, start + MarkColumns, starts.at(p + 1)));
            break;
        }
    }
    for (qsizetype p = 0; p < m_parts.size() && p + 1 < starts.size(); ++p) {
        const answer::Columns columns =
            answer::columns(record, starts.at(p) + MarkColumns, starts.at(p + 1));
        for (qsizetype q = 0; q < m_parts.at(p).size(); ++q)
            m_parts.at(p).at(q)->take(columns.names, columns.types, std::move(rows[p][q]));
    }
}
