#include "db/data_grid.h"

#include "db/dataset.h"

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace {

// The selection colour would hide the meaning of a coloured cell; its own colour stays.
class KeepForegroundDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant foreground = index.data(Qt::ForegroundRole);
        if (foreground.isValid())
            option->palette.setBrush(QPalette::HighlightedText, foreground.value<QBrush>());
    }
};

} // namespace

DataGrid::DataGrid(QWidget *parent)
    : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new KeepForegroundDelegate(this));
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(12);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    // Columns without a width of their own get the classic narrow default.
    horizontalHeader()->setDefaultSectionSize(64);
    setTabKeyNavigation(false);
}

DatasetModel *DataGrid::bind(Dataset &dataset, QVector<GridColumn> columns)
{
    auto *model = new DatasetModel(dataset, std::move(columns), this);
    show(model);
    delete m_ownModel;
    m_ownModel = model;
    return model;
}

void DataGrid::show(DatasetModel *model)
{
    if (model == m_model)
        return;
    disconnect(m_currentConnection);
    disconnect(m_resetConnection);
    disconnect(m_selectionConnection);
    m_model = model;
    QItemSelectionModel *oldSelection = selectionModel();
    setModel(model);
    delete oldSelection;
    if (!model)
        return;
    for (int i = 0; i < model->columns().size(); ++i) {
        const GridColumn &column = model->columns().at(i);
        if (column.width > 0)
            setColumnWidth(i, column.width);
        setColumnHidden(i, !column.visible);
    }
    Dataset *dataset = &model->dataset();
    m_selectionConnection = connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                                    [this, dataset](const QModelIndex &current) {
                                        if (m_syncing || !current.isValid())
                                            return;
                                        m_syncing = true;
                                        dataset->setRecNo(current.row() + 1);
                                        m_syncing = false;
                                    });
    m_currentConnection =
        connect(dataset, &Dataset::currentChanged, this, [this] { showCurrentRecord(); });
    m_resetConnection =
        connect(model, &QAbstractItemModel::modelReset, this, [this] { showCurrentRecord(); });
    showCurrentRecord();
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
