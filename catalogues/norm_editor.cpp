#include "catalogues/norm_editor.h"

#include "db/data_module.h"
#include "db/messages.h"
#include "db/sql_text.h"
#include "ui/data_grid.h"
#include "ui/error_guard.h"
#include "ui/window_setup.h"

#include <QChildEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMetaProperty>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <optional>

namespace {

const QString kCaption = QStringLiteral("Ошибка");
const QString kNormaField = QStringLiteral("norma");
const QString kPriceField = QStringLiteral("price");
const QString kPrizeField = QStringLiteral("prize");
const QString kIdField = QStringLiteral("id");

QString normaRule()
{
    return QStringLiteral("Норматив нужно указать целым числом, например 100.");
}

QString priceRule()
{
    return QStringLiteral("Цену нужно указать числом, например 12,5 или 12.5.");
}

QString priceMissing(bool newRow)
{
    return newRow ? QStringLiteral("Норматив без цены не записывается: укажите цену или нажмите "
                                   "Esc, чтобы отказаться от новой строки.")
                  : QStringLiteral("Норматив без цены не записывается: укажите цену.");
}

QString prizeRule()
{
    return QStringLiteral("Премию нужно указать целым числом процентов, например 10.");
}

// Digits only, within the range of the integer columns.
std::optional<int> wholeNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^\\d+$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

bool refuse(const QString &rule)
{
    messages::error(kCaption, rule);
    return false;
}

} // namespace

TForm22::TForm22(TDataModule6 &dm, QWidget *parent)
    : QDialog(parent)
    , DBGrid1(new DataGrid(this))
    , Button1(new QPushButton(QStringLiteral("Сохранить"), this))
    , Button2(new QPushButton(QStringLiteral("Удалить"), this))
    , norm(dm.ADO_DB)
    , m_dm(dm)
    , m_stored(dm.ADO_DB)
{
    setObjectName(QStringLiteral("TForm22"));
    setWindowTitle(QStringLiteral("Норматив"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Нормы"));
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Button1->setDefault(true);

    m_stored.setSql(QStringLiteral("select count(*) as cnt from accounts_dep.norm where id = :id"));

    const Qt::Alignment number = Qt::AlignRight | Qt::AlignVCenter;
    DBGrid1
        ->bind(norm, {{kNormaField, QStringLiteral("Норматив"), 133, number},
                      {kPriceField, QStringLiteral("Цена"), 105, number, QStringLiteral("#0.00#")},
                      {kPrizeField, QStringLiteral("Премия, %"), 82, number}})
        ->setWriter([this](const GridColumn &column, const QString &text) {
            return writeCell(column, text);
        });
    DBGrid1->setEditable(kIdField, [this](bool leavingRow) { return DBGrid1ColExit(leavingRow); });
    // A click only chooses the cell: opened by a click, its editor took the Delete key and a
    // leaving of the cell with the text half deleted was refused. Typing, F2 and a double click
    // open it.
    DBGrid1->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::DoubleClicked);
    // The cell editors are made in the viewport; each gets the Delete key filter.
    DBGrid1->viewport()->installEventFilter(this);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(buttons);
    applyGridFrame(*this, QSize(365, 278));
    setTabOrder(DBGrid1, Button1);
    setTabOrder(Button1, Button2);

    guard::connect(Button1, &QPushButton::clicked, this, &TForm22::Button1Click);
    guard::connect(Button2, &QPushButton::clicked, this, &TForm22::Button2Click);
    guard::connect(DBGrid1, &DataGrid::deleteRequested, this, &TForm22::deleteKeyPressed);

    norm.setSortField(kNormaField);
    norm.openTable(QStringLiteral("accounts_dep.norm"));
}

void TForm22::showNorms(qint64 operationId, ActivationHandler *opener)
{
    // The id handed over, not the operation list's current row: the list may have moved (a
    // search, a re-read) while the norms are open.
    m_operationId = operationId;
    norm.close();
    norm.setFilter(RowFilter::equal(QStringLiteral("o_id"), operationId));
    norm.setFiltered(true);
    norm.openTable(QStringLiteral("accounts_dep.norm"));
    // An operation without norms starts with an empty row to type its first norm into.
    if (norm.isEmpty())
        norm.append();
    runModal(*this, opener);
}

void TForm22::FormActivate()
{
    if (norm.recNo() > 0)
        DBGrid1->setCurrentIndex(DBGrid1->model()->index(norm.recNo() - 1, 0));
    DBGrid1->setFocus();
}

void TForm22::Button1Click()
{
    if (!DBGrid1->commitEdit() || !saveRow(false))
        return;
    Dataset &operations = m_dm.Oper;
    if (operations.isOpen()) {
        const int recNo = operations.recNo();
        operations.close();
        operations.open();
        operations.setRecNo(recNo);
    }
    accept();
}

void TForm22::Button2Click()
{
    if (norm.state() == Dataset::State::Insert) {
        // Not a norm yet: dropping it never removes an operation's last norm.
        DBGrid1->discardEdit();
        norm.cancel();
    } else if (norm.recordCount() > 1) {
        DBGrid1->discardEdit();
        norm.remove();
    } else if (!DBGrid1->commitEdit()) {
        return;
    }
    if (!saveRow(false))
        return;
    rereadNorms(norm.isEmpty() ? QVariant() : norm.value(kIdField));
}

bool TForm22::DBGrid1ColExit(bool leavingRow)
{
    // A row is stored once it has its quantity (new rows) and price, or refused when it is left
    // without: moving within it to fill them in is no leaving.
    if (!leavingRow && ((norm.state() == Dataset::State::Insert && norm.isNull(kNormaField)) ||
                        norm.isNull(kPriceField)))
        return true;
    return saveRow(true);
}

void TForm22::reject()
{
    guard::run([this] { Button1Click(); });
}

void TForm22::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        guard::run([this] { escapePressed(); });
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TForm22::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == DBGrid1->viewport()) {
        if (event->type() == QEvent::ChildAdded) {
            if (QObject *child = static_cast<QChildEvent *>(event)->child(); child->isWidgetType())
                child->installEventFilter(this);
        }
        return QDialog::eventFilter(watched, event);
    }
    // Delete in an open cell editor asks about the row as it does in the grid.
    if (event->type() == QEvent::KeyPress && watched->parent() == DBGrid1->viewport()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            guard::run([this] { deleteKeyPressed(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm22::escapePressed()
{
    // A new row without its quantity or price is dropped; the rows stored stay as they are.
    if (norm.state() == Dataset::State::Insert && !newRowComplete()) {
        DBGrid1->discardEdit();
        norm.cancel();
        FormActivate();
        return;
    }
    Button1Click();
}

bool TForm22::newRowComplete() const
{
    const QModelIndex current = DBGrid1->currentIndex();
    QWidget *editor = current.isValid() ? DBGrid1->indexWidget(current) : nullptr;
    const auto given = [&](const QString &field) {
        // Text typed in the open editor of the cell counts as given.
        if (editor && DBGrid1->gridModel()->columns().at(current.column()).field == field) {
            const QByteArray property = editor->metaObject()->userProperty().name();
            return !editor->property(property.constData()).toString().trimmed().isEmpty();
        }
        return !norm.isNull(field);
    };
    return given(kNormaField) && given(kPriceField);
}

bool TForm22::writeCell(const GridColumn &column, const QString &typed)
{
    bool written = false;
    guard::run([&] {
        const QString text = typed.trimmed();
        if (column.field == kPriceField) {
            // Bound as decimal text, so numeric keeps every digit typed; refused beyond what the
            // program's price arithmetic (a double) holds.
            const std::optional<QString> price =
                sql::parseDecimal(text) ? sql::decimalText(text) : std::nullopt;
            if (!price) {
                refuse(priceRule());
                return;
            }
            norm.setValue(kPriceField, *price);
        } else if (column.field == kPrizeField && text.isEmpty()) {
            norm.setValue(kPrizeField, QVariant()); // no bonus
        } else {
            const std::optional<int> value = wholeNumber(text);
            if (!value) {
                refuse(column.field == kNormaField ? normaRule() : prizeRule());
                return;
            }
            norm.setValue(column.field, *value);
        }
        written = true;
    });
    return written;
}

void TForm22::deleteKeyPressed()
{
    // The last norm stays, so there is nothing to ask about.
    if (norm.state() != Dataset::State::Insert && norm.recordCount() <= 1)
        return;
    if (!messages::question(QStringLiteral("Удалить норматив?"), QStringLiteral("Удаление")))
        return;
    Button2Click();
}

bool TForm22::saveRow(bool reread)
{
    if (norm.state() == Dataset::State::Browse)
        return true;
    if (!norm.isModified()) {
        norm.cancel();
        return true;
    }
    const bool inserting = norm.state() == Dataset::State::Insert;
    if (inserting && norm.isNull(kNormaField))
        return refuse(normaRule());
    // Every later pick of the operation would be priced at 0.
    if (norm.isNull(kPriceField))
        return refuse(priceMissing(inserting));
    // An update of a row deleted meanwhile would change nothing and pass unnoticed.
    if (!inserting && !isStored(norm.value(kIdField))) {
        norm.cancel();
        rereadNorms({});
        return refuse(
            QStringLiteral("Норматив уже удалён другим пользователем, изменения не записаны."));
    }
    if (inserting)
        norm.setValue(QStringLiteral("o_id"), m_operationId);
    norm.post();
    if (reread)
        rereadNorms(norm.value(kIdField));
    return true;
}

void TForm22::rereadNorms(const QVariant &currentId)
{
    norm.openTable(QStringLiteral("accounts_dep.norm"));
    if (!currentId.isNull())
        norm.locate(kIdField, currentId);
}

bool TForm22::isStored(const QVariant &id)
{
    m_stored.setParam(kIdField, id);
    m_stored.open();
    const bool stored = m_stored.integer(QStringLiteral("cnt")) > 0;
    m_stored.close();
    return stored;
}
