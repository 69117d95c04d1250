#include "ui/data_grid.h"

#include "db/dataset.h"
#include "ui/error_guard.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include <algorithm>

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

// The cell editor of an editable grid: aligned like its cell; Tab and Shift+Tab move through the
// grid's own moves (which write the text before anything else happens); Enter and Esc go on to the
// window instead of ending the edit here.
class EditingDelegate : public KeepForegroundDelegate
{
public:
    using Move = std::function<void(bool back)>;

    EditingDelegate(Move move, QObject *parent)
        : KeepForegroundDelegate(parent)
        , m_move(std::move(move))
    {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = KeepForegroundDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->setAlignment(index.data(Qt::TextAlignmentRole).value<Qt::Alignment>());
        return editor;
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            switch (key->key()) {
            case Qt::Key_Tab:
            case Qt::Key_Backtab: {
                // Ctrl+Tab goes on to the grid, which leaves for the window's next control.
                if (key->modifiers() & Qt::ControlModifier)
                    return false;
                const bool back =
                    key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
                m_move(back);
                return true;
            }
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Escape:
                return false;
            default:
                break;
            }
        }
        return KeepForegroundDelegate::eventFilter(object, event);
    }

private:
    Move m_move;
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
    // Day columns of the timesheets are 20 pixels wide; the style's minimum would widen them.
    horizontalHeader()->setMinimumSectionSize(16);
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
    disconnect(m_aboutToResetConnection);
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
    m_selectionConnection =
        connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, dataset](const QModelIndex &current) {
                    if (m_syncing || !current.isValid())
                        return;
                    // A row being edited stays the current record until
                    // moveToCell has saved or dropped it.
                    if (m_editable && dataset->state() != Dataset::State::Browse &&
                        current.row() != dataset->recNo() - 1) {
                        QMetaObject::invokeMethod(
                            this, [this] { showCurrentRecord(); }, Qt::QueuedConnection);
                        return;
                    }
                    m_syncing = true;
                    dataset->setRecNo(current.row() + 1);
                    m_syncing = false;
                });
    m_currentConnection =
        connect(dataset, &Dataset::currentChanged, this, [this] { showCurrentRecord(); });
    m_resetConnection =
        connect(model, &QAbstractItemModel::modelReset, this, [this] { showCurrentRecord(); });
    m_aboutToResetConnection =
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
            if (m_editable && currentIndex().isValid())
                m_lastColumn = currentIndex().column();
        });
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
        int column =
            currentIndex().isValid() ? currentIndex().column() : (m_editable ? m_lastColumn : 0);
        column = std::min(column, m_model->columnCount() - 1);
        while (column < m_model->columnCount() - 1 && isColumnHidden(column))
            ++column;
        const QModelIndex index = m_model->index(row, column);
        selectionModel()->setCurrentIndex(index, selectionBehavior() == SelectRows
                                                     ? QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows
                                                     : QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    }
    m_syncing = false;
}

void DataGrid::setEditable(const QString &keyField, LeaveHandler leave)
{
    m_editable = true;
    m_keyField = keyField;
    m_leave = std::move(leave);
    setSelectionBehavior(SelectItems);
    setEditTriggers(AnyKeyPressed | EditKeyPressed | DoubleClicked | SelectedClicked);
    setTabKeyNavigation(true);
    // Cells are chosen in the cells only: a header click would move the current cell past
    // moveToCell.
    verticalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionsClickable(false);
    setCornerButtonEnabled(false);
    QAbstractItemDelegate *readOnly = itemDelegate();
    setItemDelegate(new EditingDelegate(
        [this](bool back) {
            guard::run([&] { moveBy(back ? MovePrevious : MoveNext, Qt::NoModifier); });
        },
        this));
    delete readOnly;
}

bool DataGrid::commitEdit()
{
    const QModelIndex index = currentIndex();
    QWidget *editor = index.isValid() ? indexWidget(index) : nullptr;
    if (!m_model || !editor)
        return true;
    const QVariant typed = editor->property(editor->metaObject()->userProperty().name());
    // The editor closes before the text is written, so that a message about refused text cannot
    // make it lose its focus and commit again.
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    return m_model->setData(index, typed, Qt::EditRole);
}

void DataGrid::discardEdit()
{
    const QModelIndex index = currentIndex();
    if (QWidget *editor = index.isValid() ? indexWidget(index) : nullptr)
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool DataGrid::moveToCell(int row, int column)
{
    if (!m_model || !commitEdit())
        return false;
    Dataset &data = m_model->dataset();
    const QModelIndex from = currentIndex();
    if (from.isValid() && from.row() == row && from.column() == column)
        return true;
    const int rows = m_model->rowCount();
    const bool appending = row >= rows;
    const bool leavingRow = !from.isValid() || from.row() != row;
    // An untouched new row needs no second one below it.
    if (appending && data.state() == Dataset::State::Insert && !data.isModified())
        return true;
    const int keyColumn = data.columnOf(m_keyField);
    const QVariant targetKey =
        !appending && leavingRow && row >= 0 ? data.valueAt(row, keyColumn) : QVariant();
    if (data.isModified()) {
        if (!m_leave || !m_leave(leavingRow))
            return false;
    } else if (leavingRow && data.state() != Dataset::State::Browse) {
        data.cancel(); // an untouched new row goes away again
    }
    // The rows of another record must never show this one's pending values.
    if (leavingRow && data.state() != Dataset::State::Browse)
        return false;
    int targetRow = data.recNo() - 1;
    if (appending) {
        data.append();
        targetRow = data.recNo() - 1;
    } else if (leavingRow) {
        targetRow = std::clamp(row, 0, std::max(0, m_model->rowCount() - 1));
        for (int i = 0; i < m_model->rowCount(); ++i) {
            if (!targetKey.isNull() && data.valueAt(i, keyColumn) == targetKey) {
                targetRow = i;
                break;
            }
        }
    }
    if (targetRow >= 0 && targetRow < m_model->rowCount())
        setCurrentCell(targetRow, column);
    return true;
}

void DataGrid::setCurrentCell(int row, int column)
{
    m_model->dataset().setRecNo(row + 1);
    const QModelIndex index = m_model->index(row, column);
    m_syncing = true;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
    scrollTo(index);
}

int DataGrid::nextVisibleColumn(int column, int step) const
{
    for (int i = column + step; i >= 0 && i < m_model->columnCount(); i += step)
        if (!isColumnHidden(i))
            return i;
    return -1;
}

void DataGrid::moveBy(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (!m_model || m_model->columnCount() == 0)
        return;
    const int first = nextVisibleColumn(-1, 1);
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        // An empty grid gets its first row from Down or Tab, as below a last row.
        if (m_model->rowCount() > 0 || action == MoveDown || action == MoveNext)
            moveToCell(0, first);
        return;
    }
    int row = current.row();
    int column = current.column();
    switch (action) {
    case MoveNext: {
        const int next = nextVisibleColumn(column, 1);
        if (next >= 0) {
            column = next;
        } else {
            ++row; // past the last row this appends
            column = first;
        }
        break;
    }
    case MovePrevious: {
        const int previous = nextVisibleColumn(column, -1);
        if (previous >= 0) {
            column = previous;
        } else if (row > 0) {
            --row;
            column = nextVisibleColumn(m_model->columnCount(), -1);
        }
        break;
    }
    case MoveDown:
        ++row; // below the last row this appends
        break;
    default: {
        const QModelIndex target = QTableView::moveCursor(action, modifiers);
        if (!target.isValid())
            return;
        row = target.row();
        column = target.column();
        break;
    }
    }
    moveToCell(row, column);
}

void DataGrid::keyPressEvent(QKeyEvent *event)
{
    if (!m_editable || !m_model) {
        QTableView::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    CursorAction action;
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (modifiers & Qt::ControlModifier)) {
        // Tab moves between the cells, so Ctrl+Tab (Ctrl+Shift+Tab) leaves the grid for the
        // window's next (previous) control; an open cell editor closes as on any focus change.
        event->accept();
        setFocus(Qt::OtherFocusReason);
        QAbstractScrollArea::focusNextPrevChild(event->key() == Qt::Key_Tab &&
                                                !(modifiers & Qt::ShiftModifier));
        return;
    }
    switch (event->key()) {
    case Qt::Key_Tab:
        action = (modifiers & Qt::ShiftModifier) ? MovePrevious : MoveNext;
        break;
    case Qt::Key_Backtab:
        action = MovePrevious;
        break;
    case Qt::Key_Down:
        action = MoveDown;
        break;
    case Qt::Key_Up:
        action = MoveUp;
        break;
    case Qt::Key_Left:
        action = MoveLeft;
        break;
    case Qt::Key_Right:
        action = MoveRight;
        break;
    case Qt::Key_Home:
        action = MoveHome;
        break;
    case Qt::Key_End:
        action = MoveEnd;
        break;
    case Qt::Key_PageUp:
        action = MovePageUp;
        break;
    case Qt::Key_PageDown:
        action = MovePageDown;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->ignore(); // the window's default and cancel buttons
        return;
    case Qt::Key_Delete:
        if (state() == EditingState) {
            QTableView::keyPressEvent(event);
            return;
        }
        event->accept();
        Q_EMIT deleteRequested();
        return;
    default:
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
    guard::run([&] { moveBy(action, modifiers); });
}

void DataGrid::mousePressEvent(QMouseEvent *event)
{
    if (m_editable && m_model) {
        const QPoint position = event->position().toPoint();
        const QModelIndex target = indexAt(position);
        if (target.isValid() && target != currentIndex()) {
            bool moved = false;
            guard::run([&] { moved = moveToCell(target.row(), target.column()); });
            // A save may have re-sorted the rows: the press must not pick another one.
            if (!moved || indexAt(position) != currentIndex()) {
                event->accept();
                return;
            }
        }
    }
    QTableView::mousePressEvent(event);
}

void DataGrid::mouseMoveEvent(QMouseEvent *event)
{
    // Dragging would move the current cell past moveToCell.
    if (m_editable && event->buttons() != Qt::NoButton) {
        event->accept();
        return;
    }
    QTableView::mouseMoveEvent(event);
}
