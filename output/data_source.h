#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class Dataset;

namespace report {

// The rows a report is printed from.
class DataSource
{
public:
    virtual ~DataSource() = default;
    // The query's name, as expressions may write it before a field ("t_Report.fio").
    virtual QString name() const = 0;
    virtual int rowCount() const = 0;
    // The column of a field (ignoring case), -1 when there is none.
    virtual int columnOf(const QString &field) const = 0;
    virtual QVariant value(int row, int column) const = 0;
};

// The rows of an open dataset that pass its client-side filter, in its order.
class DatasetSource : public DataSource
{
public:
    DatasetSource(const Dataset &dataset, const QString &name);
    QString name() const override { return m_name; }
    int rowCount() const override;
    int columnOf(const QString &field) const override;
    QVariant value(int row, int column) const override;

private:
    const Dataset &m_dataset;
    QString m_name;
};

// Rows held in memory.
class TableSource : public DataSource
{
public:
    TableSource(const QString &name, const QStringList &columns,
                const QVector<QVector<QVariant>> &rows = {});
    void addRow(const QVector<QVariant> &row) { m_rows.append(row); }
    QString name() const override { return m_name; }
    int rowCount() const override { return int(m_rows.size()); }
    int columnOf(const QString &field) const override;
    QVariant value(int row, int column) const override { return m_rows.at(row).value(column); }

private:
    QString m_name;
    QStringList m_columns;
    QVector<QVector<QVariant>> m_rows;
};

} // namespace report
