#pragma once

#include <QList>
#include <QMetaType>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Reading a statement's answer into datasets: a run of its columns, [first, end).
namespace answer {

struct Columns
{
    QStringList names;
    QList<QMetaType> types;
};

inline Columns columns(const QSqlRecord &record, int first, int end)
{
    Columns columns;
    for (int i = first; i < end; ++i) {
        columns.names.append(record.fieldName(i));
        columns.types.append(record.field(i).metaType());
    }
    return columns;
}

// The current row's values.
inline QVector<QVariant> values(const QSqlQuery &query, int first, int end)
{
    QVector<QVariant> row;
    row.reserve(end - first);
    for (int i = first; i < end; ++i)
        row.append(query.value(i));
    return row;
}

} // namespace answer
