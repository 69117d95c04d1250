#pragma once

#include "db/dataset_model.h"

#include <QMetaObject>
#include <QTableView>

// A read-only grid over a Dataset: whole-row selection, and the view's current row and the
// Dataset's current record kept as one. Cells with their own text colour keep it in a selected row.
class DataGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);

    // Shows the dataset with these columns; the grid owns the model.
    DatasetModel *bind(Dataset &dataset, QVector<GridColumn> columns);
    // Shows a model made elsewhere (several data sources switched on one grid).
    void show(DatasetModel *model);
    DatasetModel *gridModel() const { return m_model; }

private:
    void showCurrentRecord();

    DatasetModel *m_model = nullptr;
    DatasetModel *m_ownModel = nullptr;
    QMetaObject::Connection m_currentConnection;
    QMetaObject::Connection m_resetConnection;
    QMetaObject::Connection m_selectionConnection;
    bool m_syncing = false;
};
