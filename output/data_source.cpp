#include "output/data_source.h"

#include "db/dataset.h"

namespace report {

DatasetSource::DatasetSource(const Dataset &dataset, const QString &name)
    : m_dataset(dataset)
    , m_name(name)
{}

int DatasetSource::rowCount() const
{
    return m_dataset.recordCount();
}

int DatasetSource::columnOf(const QString &field) const
{
    return m_dataset.columnOf(field);
}

QVariant DatasetSource::value(int row, int column) const
{
    return m_dataset.valueAt(row, column);
}

TableSource::TableSource(const QString &name, const QStringList &columns,
                         const QVector<QVector<QVariant>> &rows)
    : m_name(name)
    , m_columns(columns)
    , m_rows(rows)
{}

int TableSource::columnOf(const QString &field) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace report
