#include "ui/dataset_model.h"

#include "ui/plain_text.h"

#include "db/dataset.h"
#include "db/number_format.h"

#include <QFont>
#include <QScopeGuard>

DatasetModel::DatasetModel(Dataset &dataset, QVector<GridColumn> columns, QObject *parent)
    : QAbstractTableModel(parent)
    , m_dataset(dataset)
    , m_columns(std::move(columns))
{
    findFields();
    connect(&m_dataset, &Dataset::rowsReset, this, [this] {
        beginResetModel();
        findFields();
        endResetModel();
    });
    connect(&m_dataset, &Dataset::rowChanged, this,
            [this](int row) { Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1)); });
}

void DatasetModel::findFields()
{
    m_fields.clear();
    for (const GridColumn &column : std::as_const(m_columns))
        m_fields.append(m_dataset.columnOf(column.field));
}

int DatasetModel::columnOfField(const QString &field) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_dataset.recordCount();
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= m_columns.size())
        return {};
    const GridColumn &column = m_columns.at(index.column());
    if (role == Qt::EditRole) {
        if (!m_writer)
            return {};
        return Dataset::textOf(m_dataset.valueAt(index.row(), m_fields.at(index.column())));
    }
    if (m_styler) {
        const QVariant styled = m_styler(index.row() + 1, column, role);
        if (styled.isValid())
            return role == Qt::ToolTipRole ? plainToolTip(styled.toString()) : styled;
    }
    switch (role) {
    case Qt::DisplayRole: {
        const QVariant value = m_dataset.valueAt(index.row(), m_fields.at(index.column()));
        if (!column.mask.isEmpty() && !value.isNull()) {
            bool isNumber = false;
            const double number = value.toDouble(&isNumber);
            if (isNumber)
                return numbers::format(number, column.mask);
        }
        return Dataset::textOf(value);
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.alignment);
    default:
        return {};
    }
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (m_writer && index.isValid())
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool DatasetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    // A writer's message box may make the editor lose its focus and commit once more: that second
    // commit is dropped.
    if (!m_writer || m_writing || role != Qt::EditRole || !index.isValid() ||
        index.column() >= m_columns.size() || index.row() != m_dataset.recNo() - 1)
        return false;
    const QString text = value.toString();
    if (text == data(index, Qt::EditRole).toString())
        return true;
    m_writing = true;
    const auto done = qScopeGuard([this] { m_writing = false; });
    return m_writer(m_columns.at(index.column()), text);
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && m_headerStyler && section >= 0 &&
        section < m_columns.size()) {
        const QVariant styled = m_headerStyler(section, role);
        if (styled.isValid())
            return role == Qt::ToolTipRole ? plainToolTip(styled.toString()) : styled;
    }
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return m_columns.at(section).title;
    if (role == Qt::FontRole) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}

void DatasetModel::restyle()
{
    if (rowCount() > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}
