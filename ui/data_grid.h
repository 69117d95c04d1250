#pragma once

#include "ui/dataset_model.h"

#include <QMetaObject>
#include <QTableView>

#include <functional>

// A read-only grid over a Dataset: whole-row selection, and the view's current row and the
// Dataset's current record kept as one. Cells with their own text colour keep it in a selected row.
// Made editable, it edits a table Dataset in place.
// Every value and title shows whole: the described widths are the starting widths, and a column
// whose value or title does not fit (a seven-digit total in 66 pixels) widens to it whenever the
// rows are read, filtered or sorted. Where the columns then need more room than the grid shows,
// columns wider than their values and title give up what they do not need before a horizontal
// scroll bar is needed; they get it back when the grid has the room again.
class DataGrid : public QTableView
{
    Q_OBJECT
public:
    // Runs before the current cell moves away while the row has unsaved changes; it saves the
    // row (and may read the rows again). False keeps the cell. leavingRow is false when the move
    // stays in the row.
    using LeaveHandler = std::function<bool(bool leavingRow)>;

    explicit DataGrid(QWidget *parent = nullptr);

    // Editing in place over a table opened with Dataset::openTable, through a model with a writer:
    // typing, F2, a double click or a click on the current cell opens its editor; Tab, Shift+Tab,
    // the arrow and page keys and clicks move between cells; Ctrl+Tab leaves the grid; Tab past the
    // last cell and Down on the last row append an empty row, which goes away again when it is left
    // untouched. Rows are found again by keyField after a save re-sorted them. Enter and Esc, also
    // from an open editor, are left to the window; Delete (no editor open) emits deleteRequested.
    void setEditable(const QString &keyField, LeaveHandler leave);
    bool isEditable() const { return m_editable; }
    // Writes the text of an open cell editor into the row and closes the editor; false when the
    // text was refused (the cell keeps its value). Reaches the database only through the writer.
    bool commitEdit();
    // Closes an open cell editor without writing its text.
    void discardEdit();
    // Moves the current cell as the keys do (saving a changed row first); row == rowCount()
    // appends an empty row. False when the move was refused. May raise DbError.
    bool moveToCell(int row, int column);

    // Shows the dataset with these columns; the grid owns the model.
    DatasetModel *bind(Dataset &dataset, QVector<GridColumn> columns);
    // Shows a model made elsewhere (several data sources switched on one grid).
    void show(DatasetModel *model);
    DatasetModel *gridModel() const { return m_model; }

    // A click on a column title sorts the rows by that column on the client, a second click the
    // other way round; the title shows the order and the current record stays current. The order
    // belongs to the Dataset: it stays when the rows are read again. Not for editable grids.
    void setSortingByTitles();
    // The width a column starts from in place of its described one (a column that takes the room
    // of hidden ones); a column whose content needs more keeps the wider width.
    void setStartingWidth(int column, int width);
    // A column of long texts (a list of changes): it takes the room the other columns leave in
    // the grid (at least its title's), and its texts wrap into taller rows instead of widening
    // it.
    void setWrappingColumn(int column);

Q_SIGNALS:
    // The Delete key in an editable grid: the window asks and deletes the current row.
    void deleteRequested();

protected:
    bool viewportEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void showCurrentRecord();
    void sortByColumn(int column);
    void showSortIndicator();
    // Widens every column whose shown values or title need more room than it has.
    void fitColumns();
    class WidthBound;
    // The width a column's values and title need where they do not fit its starting width.
    int neededWidth(int column) const;
    int neededWidth(int column, WidthBound &bound) const;
    // From a text room of `room` pixels: 0 gives the width every value and the title need.
    int neededWidth(int column, WidthBound &bound, int room) const;
    // Shows each column at its width, less what a column does not need while the columns are
    // wider than the grid's room.
    void fitToRoom();
    int titleWidth(int column) const;
    int cellPadding() const;
    // The editable grid's own moves (Tab, arrows, pages); runs inside the error guard.
    void moveBy(CursorAction action, Qt::KeyboardModifiers modifiers);
    void setCurrentCell(int row, int column);
    int nextVisibleColumn(int column, int step) const;

    DatasetModel *m_model = nullptr;
    DatasetModel *m_ownModel = nullptr;
    QMetaObject::Connection m_currentConnection;
    QMetaObject::Connection m_resetConnection;
    QMetaObject::Connection m_selectionConnection;
    QMetaObject::Connection m_aboutToResetConnection;
    bool m_syncing = false;
    bool m_sortable = false;
    // Per column: the starting width and the width set (kept also while the column is hidden).
    QVector<int> m_startWidths;
    QVector<int> m_widths;
    // Per column: the width its values and title need, measured when the room is short (empty
    // until then, and again after the rows change).
    QVector<int> m_contentWidths;
    bool m_fittingToRoom = false;
    int m_wrappingColumn = -1;

    bool m_editable = false;
    QString m_keyField;
    LeaveHandler m_leave;
    int m_lastColumn = 0; // the current column before a reset of an editable grid
};
