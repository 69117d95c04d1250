#include "db/data_grid.h"

#include "db/dataset.h"

#include <QHeaderView>

DataGrid::DataGrid(QWidget *parent)
    : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(12);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    setTabKeyNavigation(false);
}

DatasetModel *DataGrid::bind(Dataset &dataset, QVector<GridColumn> columns)
{
    delete m_model;
    m_model = new DatasetModel(dataset, std::move(columns), this);
    setModel(m_model);
    for (int i = 0; i < m_model->columns().size(); ++i) {
        const GridColumn &column = m_model->columns().at(i);
        if (column.width > 0)
            setColumnWidth(i, column.width);
        setColumnHidden(i, !column.visible);
    }
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, &dataset](const QModelIndex &current) {
                if (m_syncing || !current.isValid())
                    return;
                m_syncing = true;
                dataset.setRecNo(current.row() + 1);
                m_syncing = false;
            });
    connect(&dataset, &Dataset::currentChanged, this, [this] { showCurrentRecord(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { showCurrentRecord(); });
    showCurrentRecord();
    return m_model;
}

void DataGrid::showCurrentRecord()
{
    if (m_syncing || !m_model)
        return;
    const int row = m_model->dataset().recNo() - 1;
    m_syncing = true;
    if (row < 0) {
        selectionModel()->clearCurrentIndex();
    } else {
        int column = currentIndex().isValid() ? currentIndex().column() : 0;
        while (column < m_model->columnCount() - 1 && isColumnHidden(column))
            ++column;
        const QModelIndex index = m_model->index(row, column);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
        scrollTo(index);
    }
    m_syncing = false;
}
