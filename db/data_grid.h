#pragma once

#include "db/dataset_model.h"

#include <QTableView>

// A read-only grid over a Dataset: whole-row selection, and the view's current row and the
// Dataset's current record kept as one.
class DataGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);

    // Shows the dataset with these columns; the grid owns the model.
    DatasetModel *bind(Dataset &dataset, QVector<GridColumn> columns);
    DatasetModel *gridModel() const { return m_model; }

private:
    void showCurrentRecord();

    DatasetModel *m_model = nullptr;
    bool m_syncing = false;
};
