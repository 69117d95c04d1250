#include "ui/data_grid.h"

#include "db/dataset.h"
#include "ui/error_guard.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QSignalBlocker>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Item views pad a cell's text by the focus frame's margin and one pixel on each side; one pixel
// and the grid line keep neighbouring values apart, and the described widths leave room for no
// more.
class NarrowCellStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        if (metric == PM_FocusFrameHMargin)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QStyle *narrowCellStyle()
{
    // One for every grid, made over the application's style and gone with the application.
    static QPointer<QStyle> style;
    if (!style) {
        style = new NarrowCellStyle(QApplication::style()->name());
        style->setParent(qApp);
    }
    return style;
}

} // namespace

// Tells cheaply whether a text may be wider than a room in the grid's font, regular or bold: only
// such texts are measured exactly. Its bound is the sum of each character's wider advance (kerning,
// which narrows figures and names rather than widening them, is left out).
class DataGrid::WidthBound
{
public:
    explicit WidthBound(const QFont &font)
        : m_regular(font)
        , m_bold(boldOf(font))
        , m_advances(0x500, -1.0)
    {
        m_widest = std::max(m_regular.maxWidth(), m_bold.maxWidth());
        qreal widestDigit = 0;
        for (char digit = '0'; digit <= '9'; ++digit) {
            const qreal advance = std::max(m_regular.horizontalAdvance(QLatin1Char(digit)),
                                           m_bold.horizontalAdvance(QLatin1Char(digit)));
            if (advance > widestDigit) {
                widestDigit = advance;
                m_widestDigit = QLatin1Char(digit);
            }
        }
    }

    // The text with its widest digit in place of every digit: at least as wide as the text, and
    // the same for every figure of its form (a date, a sum of so many digits).
    QString shapeOf(QString text) const
    {
        for (QChar &ch : text)
            if (ch.isDigit())
                ch = m_widestDigit;
        return text;
    }

    bool mayExceed(const QString &text, int room)
    {
        if (text.size() * m_widest <= room)
            return false;
        qreal width = 0.25; // rounding
        for (const QChar ch : text) {
            if (ch.unicode() >= m_advances.size())
                return true;
            qreal &advance = m_advances[ch.unicode()];
            if (advance < 0)
                advance = std::max(m_regular.horizontalAdvance(ch), m_bold.horizontalAdvance(ch));
            width += advance;
        }
        return width > room;
    }

private:
    static QFont boldOf(QFont font)
    {
        font.setBold(true);
        return font;
    }

    QFontMetricsF m_regular;
    QFontMetricsF m_bold;
    std::vector<qreal> m_advances; // Latin and Cyrillic characters, -1 until measured
    qreal m_widest = 0;
    QChar m_widestDigit = QLatin1Char('0');
};

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
    setStyle(narrowCellStyle());
    // A width the user drags a column to is where it widens from.
    connect(
        horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
            if (!m_fittingToRoom && column < m_widths.size() && size > 0 && !isColumnHidden(column))
                m_widths[column] = size;
        });
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
    m_startWidths.clear();
    for (int i = 0; i < model->columns().size(); ++i) {
        const GridColumn &column = model->columns().at(i);
        const int width =
            column.width > 0 ? column.width : horizontalHeader()->defaultSectionSize();
        setColumnWidth(i, width);
        setColumnHidden(i, !column.visible);
        m_startWidths.append(width);
    }
    m_widths = m_startWidths;
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
    m_resetConnection = connect(model, &QAbstractItemModel::modelReset, this, [this] {
        showSortIndicator();
        fitColumns();
        showCurrentRecord();
    });
    m_aboutToResetConnection =
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
            if (m_editable && currentIndex().isValid())
                m_lastColumn = currentIndex().column();
        });
    showSortIndicator();
    fitColumns();
    showCurrentRecord();
}

void DataGrid::setSortingByTitles()
{
    m_sortable = true;
    QHeaderView *header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { guard::run([&] { sortByColumn(column); }); });
    showSortIndicator();
}

void DataGrid::sortByColumn(int column)
{
    if (!m_sortable || !m_model || column < 0 || column >= m_model->columnCount())
        return;
    Dataset &data = m_model->dataset();
    const QString &field = m_model->columns().at(column).field;
    const bool again = data.sortField().compare(field, Qt::CaseInsensitive) == 0 &&
                       data.sortOrder() == Qt::AscendingOrder;
    data.setSortField(field, again ? Qt::DescendingOrder : Qt::AscendingOrder);
    // A closed Dataset shows its order when it is read.
    showSortIndicator();
}

void DataGrid::showSortIndicator()
{
    if (!m_sortable || !m_model)
        return;
    const Dataset &data = m_model->dataset();
    const int column = data.sortField().isEmpty() ? -1 : m_model->columnOfField(data.sortField());
    const QSignalBlocker blocker(horizontalHeader());
    horizontalHeader()->setSortIndicator(column, data.sortOrder());
}

void DataGrid::setStartingWidth(int column, int width)
{
    if (!m_model || column < 0 || column >= m_startWidths.size())
        return;
    m_startWidths[column] = width;
    m_widths[column] = std::max(width, neededWidth(column));
    setColumnWidth(column, m_widths.at(column));
    fitToRoom();
}

void DataGrid::setWrappingColumn(int column)
{
    m_wrappingColumn = column;
    setWordWrap(true);
    setTextElideMode(Qt::ElideNone);
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    fitToRoom();
}

int DataGrid::titleWidth(int column) const
{
    const QString title =
        m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().trimmed();
    if (title.isEmpty())
        return 0;
    const QHeaderView *header = horizontalHeader();
    QFont font = header->font();
    const QVariant titleFont = m_model->headerData(column, Qt::Horizontal, Qt::FontRole);
    if (titleFont.isValid())
        font = titleFont.value<QFont>().resolve(font);
    // The style's room for a title in a section (less where the sort arrow stands), found from a
    // wide probe section.
    QStyleOptionHeader option;
    option.initFrom(header);
    option.state |= QStyle::State_Horizontal;
    option.orientation = Qt::Horizontal;
    option.section = column;
    option.text = title;
    option.fontMetrics = QFontMetrics(font);
    const bool sorted = header->isSortIndicatorShown() && header->sortIndicatorSection() == column;
    option.sortIndicator = sorted ? QStyleOptionHeader::SortDown : QStyleOptionHeader::None;
    constexpr int probe = 1000;
    option.rect = QRect(0, 0, probe, header->sizeHint().height());
    const int room =
        header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header).width();
    return int(std::ceil(QFontMetricsF(font).horizontalAdvance(title))) + probe - room;
}

int DataGrid::neededWidth(int column) const
{
    WidthBound bound(font());
    return neededWidth(column, bound);
}

int DataGrid::neededWidth(int column, WidthBound &bound) const
{
    return neededWidth(column, bound, m_startWidths.at(column) - cellPadding());
}

int DataGrid::neededWidth(int column, WidthBound &bound, int room) const
{
    if (column == m_wrappingColumn)
        return titleWidth(column);
    const int padding = cellPadding();
    const QFont gridFont = font();
    const QFontMetricsF gridMetrics(gridFont);
    // Only texts that may not fit the room are measured, and of them only those that may be
    // wider than the widest found so far.
    int widest = 0;
    QHash<QString, qreal> measured;
    const int rows = m_model->rowCount();
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = m_model->index(row, column);
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!bound.mayExceed(text, room))
            continue;
        // Figures of one form are measured once, in each font they are shown in.
        const QVariant cellFont = index.data(Qt::FontRole);
        QString shape = bound.shapeOf(text);
        const QFont font =
            cellFont.isValid() ? cellFont.value<QFont>().resolve(gridFont) : gridFont;
        const QString key = cellFont.isValid() ? shape + QChar(0) + font.key() : shape;
        auto found = measured.constFind(key);
        if (found == measured.constEnd())
            found = measured.insert(key, cellFont.isValid()
                                             ? QFontMetricsF(font).horizontalAdvance(shape)
                                             : gridMetrics.horizontalAdvance(shape));
        const qreal width = found.value();
        widest = std::max(widest, int(std::ceil(width)));
        room = std::max(room, widest);
    }
    return std::max(widest > 0 ? widest + padding : 0, titleWidth(column));
}

int DataGrid::cellPadding() const
{
    // The cell's text room is its section less the grid line and the style's padding.
    return (showGrid() ? 1 : 0) +
           2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
}

void DataGrid::fitToRoom()
{
    // A grid not shown has no room of its own yet.
    if (!m_model || m_fittingToRoom || !isVisible())
        return;
    const int columns = std::min(m_model->columnCount(), int(m_widths.size()));
    QVector<int> shown = m_widths.mid(0, columns);
    const bool wrapping =
        m_wrappingColumn >= 0 && m_wrappingColumn < columns && !isColumnHidden(m_wrappingColumn);
    if (wrapping)
        shown[m_wrappingColumn] = titleWidth(m_wrappingColumn);
    int total = 0;
    for (int column = 0; column < columns; ++column)
        if (!isColumnHidden(column))
            total += shown.at(column);
    const int over = total - viewport()->width();
    if (over > 0) {
        if (m_contentWidths.size() != columns) {
            WidthBound bound(font());
            m_contentWidths.resize(columns);
            for (int column = 0; column < columns; ++column)
                m_contentWidths[column] = neededWidth(column, bound, 0);
        }
        QVector<int> slack(columns, 0);
        int spare = 0;
        for (int column = 0; column < columns; ++column) {
            if (isColumnHidden(column))
                continue;
            slack[column] = std::max(0, shown.at(column) - m_contentWidths.at(column));
            spare += slack.at(column);
        }
        // Each column gives in proportion to what it does not need; the rounding's rest comes
        // from the first columns that still have some.
        const int given = std::min(over, spare);
        int left = given;
        for (int column = 0; column < columns && spare > 0; ++column) {
            const int cut = int(qint64(slack.at(column)) * given / spare);
            shown[column] -= cut;
            slack[column] -= cut;
            left -= cut;
        }
        for (int column = 0; column < columns && left > 0; ++column) {
            const int cut = std::min(left, slack.at(column));
            shown[column] -= cut;
            left -= cut;
        }
    }
    if (wrapping) {
        int others = 0;
        for (int column = 0; column < columns; ++column)
            if (column != m_wrappingColumn && !isColumnHidden(column))
                others += shown.at(column);
        shown[m_wrappingColumn] =
            std::max(shown.at(m_wrappingColumn), viewport()->width() - others);
    }
    m_fittingToRoom = true;
    for (int column = 0; column < columns; ++column)
        if (columnWidth(column) != shown.at(column) && !isColumnHidden(column))
            setColumnWidth(column, shown.at(column));
    m_fittingToRoom = false;
}

bool DataGrid::viewportEvent(QEvent *event)
{
    const bool handled = QTableView::viewportEvent(event);
    if (event->type() == QEvent::Resize)
        fitToRoom();
    return handled;
}

void DataGrid::fitColumns()
{
    if (!m_model)
        return;
    m_contentWidths.clear();
    WidthBound bound(font());
    const int columns = std::min(m_model->columnCount(), int(m_widths.size()));
    for (int column = 0; column < columns; ++column) {
        const int needed = neededWidth(column, bound);
        if (needed > m_widths.at(column)) {
            m_widths[column] = needed;
            setColumnWidth(column, needed);
        }
    }
    fitToRoom();
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
