#include "catalogues/catalogue_list.h"

#include "db/dataset.h"
#include "ui/data_grid.h"
#include "ui/error_guard.h"
#include "ui/window_setup.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CatalogueList::CatalogueList(TDataModule6 &dm, std::unique_ptr<Dataset> ownList, Design design,
                             QWidget *parent)
    : CatalogueList(dm, *ownList, std::move(design), parent)
{
    m_ownList = std::move(ownList);
}

CatalogueList::~CatalogueList() = default;

CatalogueList::CatalogueList(TDataModule6 &dm, Dataset &list, Design design, QWidget *parent)
    : QDialog(parent)
    , DBGrid1(new DataGrid(this))
    , Edit1(new QLineEdit(this))
    , m_dm(dm)
    , m_list(list)
    , m_design(std::move(design))
    , m_add(new QPushButton(QStringLiteral("Добавить"), this))
    , m_change(new QPushButton(QStringLiteral("Изменить"), this))
    , m_delete(new QPushButton(QStringLiteral("Удалить"), this))
    , m_exit(new QPushButton(QStringLiteral("Выход"), this))
{
    setObjectName(m_design.objectName);
    setWindowTitle(m_design.caption);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(m_design.subject);
    DBGrid1->bind(m_list, m_design.columns);
    DBGrid1->setSortingByTitles();
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setAccessibleName(QStringLiteral("Поиск"));
    Edit1->installEventFilter(this);
    m_add->setObjectName(m_design.addName);
    m_change->setObjectName(m_design.changeName);
    m_delete->setObjectName(m_design.deleteName);
    m_exit->setObjectName(m_design.exitName);
    for (QPushButton *button : {m_add, m_change, m_delete, m_exit})
        button->setAutoDefault(false);
    m_add->setDefault(true);

    auto *bar = new QHBoxLayout;
    m_bar = bar;
    bar->addWidget(m_add);
    bar->addWidget(m_change);
    bar->addWidget(m_delete);
    if (m_design.searchPlace == SearchPlace::BottomBar) {
        bar->addWidget(Edit1, 1);
        // The search box's room while it is hidden: the buttons keep their own widths.
        bar->addStretch(0);
    } else {
        bar->addStretch(1);
    }
    bar->addWidget(m_exit);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(DBGrid1, 1);
    if (m_design.searchPlace == SearchPlace::UnderGrid)
        layout->addWidget(Edit1);
    layout->addLayout(bar);
    applyGridFrame(*this, m_design.size);
    orderTabs();

    guard::connect(m_add, &QPushButton::clicked, this, &CatalogueList::addClick);
    guard::connect(m_change, &QPushButton::clicked, this, &CatalogueList::changeClick);
    guard::connect(DBGrid1, &QAbstractItemView::doubleClicked, this,
                   &CatalogueList::gridDoubleClick);
    guard::connect(m_delete, &QPushButton::clicked, this, &CatalogueList::deleteClick);
    connect(m_exit, &QPushButton::clicked, this, &QDialog::reject);
    guard::connect(Edit1, &QLineEdit::textChanged, this, &CatalogueList::Edit1Change);
}

void CatalogueList::FormActivate()
{
    if (!Edit1->isHidden())
        Edit1->setFocus();
    else
        DBGrid1->setFocus();
}

void CatalogueList::runAsCatalogue(ActivationHandler *opener)
{
    prepareCatalogue();
    runModal(*this, opener);
    finishCatalogue();
}

std::optional<CatalogueList::Choice> CatalogueList::runAsPicker(int tag, ActivationHandler *opener)
{
    preparePicker(tag);
    runModal(*this, opener);
    finishPicker();
    return m_choice;
}

void CatalogueList::prepareCatalogue()
{
    showAsCatalogue();
    m_list.open();
}

void CatalogueList::finishCatalogue()
{
    m_list.close();
}

void CatalogueList::preparePicker(int tag)
{
    showAsPicker(tag);
    Edit1->setVisible(true);
    Edit1->clear();
    m_list.open();
}

void CatalogueList::finishPicker()
{
    m_list.close();
}

void CatalogueList::addClick()
{
    add();
}

void CatalogueList::changeClick()
{
    if (Tag == 0) {
        change();
        return;
    }
    m_choice = currentChoice();
    accept();
}

void CatalogueList::deleteClick()
{
    remove();
}

std::optional<CatalogueList::Choice> CatalogueList::currentChoice() const
{
    if (m_list.isEmpty())
        return std::nullopt;
    return Choice{m_list.integer(QStringLiteral("id")), m_list.text(m_design.nameField).trimmed()};
}

void CatalogueList::showAsCatalogue()
{
    Tag = 0;
    m_change->setText(QStringLiteral("Изменить"));
    m_add->setVisible(true);
    m_delete->setVisible(true);
    m_change->setDefault(false);
    m_add->setDefault(true);
}

void CatalogueList::showAsPicker(int tag)
{
    Tag = tag;
    m_choice.reset();
    m_change->setText(QStringLiteral("Выбрать"));
    m_add->setVisible(false);
    m_delete->setVisible(false);
    m_add->setDefault(false);
    m_change->setDefault(true);
    m_change->setVisible(true);
}

void CatalogueList::reopenAt(int recNo)
{
    m_list.close();
    m_list.open();
    if (recNo > 0 && !m_list.isEmpty())
        m_list.setRecNo(recNo);
}

void CatalogueList::addBarWidget(QWidget *widget)
{
    m_bar->insertWidget(m_bar->indexOf(m_delete) + 1, widget);
    orderTabs();
}

void CatalogueList::orderTabs()
{
    // Tab goes the way the controls stand: the grid, a search box under it, then the bar from
    // left to right.
    QList<QWidget *> chain{DBGrid1};
    if (m_design.searchPlace == SearchPlace::UnderGrid)
        chain.append(Edit1);
    for (int i = 0; i < m_bar->count(); ++i) {
        if (QWidget *widget = m_bar->itemAt(i)->widget())
            chain.append(widget);
    }
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

void CatalogueList::Edit1Change()
{
    const QString text = Edit1->text();
    if (m_design.blankSearchShowsAll ? text.trimmed().isEmpty() : text.isEmpty()) {
        m_list.setFiltered(false);
        return;
    }
    m_list.setFilter(m_design.match == Match::StartsWith
                         ? RowFilter::startsWith(m_design.searchField, text)
                         : RowFilter::contains(m_design.searchField, text));
    m_list.setFiltered(true);
}

bool CatalogueList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Edit1 && m_bar && m_design.searchPlace == SearchPlace::BottomBar &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        m_bar->setStretch(m_bar->indexOf(Edit1) + 1, event->type() == QEvent::HideToParent);
    if (watched != Edit1 || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Up:
        m_list.prior();
        return true;
    case Qt::Key_Down:
        m_list.next();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return QDialog::eventFilter(watched, event);
    default:
        break;
    }
    if (m_design.searchKeys == SearchKeys::OnlyUpDown)
        return QDialog::eventFilter(watched, event);
    // Only typed characters and Backspace edit the search text; caret keys and Delete do nothing.
    const bool typed = !key->text().isEmpty() && key->text().at(0).isPrint() &&
                       !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    const bool backspace = key->key() == Qt::Key_Backspace;
    const bool paste = key->matches(QKeySequence::Paste);
    if (typed || backspace || paste)
        return QDialog::eventFilter(watched, event);
    return true;
}
