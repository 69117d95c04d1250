#include "catalogues/operation_prices.h"

#include "catalogues/norm_editor.h"
#include "catalogues/operation_kinds.h"
#include "catalogues/products.h"
#include "db/data_module.h"
#include "db/messages.h"
#include "db/number_format.h"
#include "db/refused_delete.h"
#include "db/sql_text.h"
#include "output/xlsx_export.h"
#include "ui/busy.h"
#include "ui/error_guard.h"
#include "ui/picker_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

QString productKindText(qint64 naimen)
{
    return naimen == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

} // namespace

TForm10::TForm10(TDataModule6 &dm, TForm3 &products, TForm8 &kinds, QWidget *parent)
    : CatalogueEditor(dm,
                      {QStringLiteral("TForm10"), QStringLiteral("Цена операции"),
                       QStringLiteral("Цена операции")},
                      parent)
    , m_products(products)
    , m_kinds(kinds)
{
    PickerBox *product = addPicker(QStringLiteral("Марка изделия"), QStringLiteral("Edit1"),
                                   QStringLiteral("Button3"));
    Edit1 = product->edit();
    Button3 = product->button();
    PickerBox *kind =
        addPicker(QStringLiteral("Операция"), QStringLiteral("Edit2"), QStringLiteral("Button4"));
    Edit2 = kind->edit();
    Button4 = kind->button();
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems({QStringLiteral("Готовая продукция"), QStringLiteral("Заготовки")});
    ComboBox1->setFocusPolicy(Qt::StrongFocus);
    addRow(QStringLiteral("Вид"), ComboBox1);
    Button1 = saveButton();
    Button2 = cancelButton();
    setSizeGripEnabled(true);
    guard::connect(product, &PickerBox::pickRequested, this, &TForm10::Button3Click);
    guard::connect(kind, &PickerBox::pickRequested, this, &TForm10::Button4Click);
}

void TForm10::Button3Click()
{
    if (const auto choice = m_products.runAsPicker(1, this)) {
        Edit1->setText(choice->name);
        ProductId = choice->id;
    }
}

void TForm10::Button4Click()
{
    if (const auto choice = m_kinds.runAsPicker(1, this)) {
        Edit2->setText(choice->name);
        KindId = choice->id;
    }
}

bool TForm10::save()
{
    if (Edit1->text().trimmed().isEmpty() || Edit2->text().trimmed().isEmpty()) {
        messages::error(QStringLiteral("Ошибка"),
                        QStringLiteral("Все поля должны быть заполнены!"));
        return false;
    }
    const QString v = sql::integer(KindId);
    const QString n = sql::integer(ComboBox1->currentIndex());
    const QString i = sql::integer(ProductId);
    const QString message = QStringLiteral("Операция с такими параметрами уже заведена!");
    NewOperationId = 0;
    if (Tag == 1) {
        if (m_dm.CheckCount(QStringLiteral("select count(ID) as cnt from accounts_dep.OPER where "
                                           "vid=%1 and naimen=%2 and i_id=%3")
                                .arg(v, n, i),
                            message))
            return false;
        NewOperationId = m_dm.scalar(QStringLiteral("insert into accounts_dep.oper(vid, naimen, "
                                                    "i_id, cena_new)values (%1, %2, %3, 0) "
                                                    "returning id")
                                         .arg(v, n, i),
                                     QStringLiteral("id"));
    } else {
        const QString id = sql::integer(OperationId);
        if (m_dm.CheckCount(QStringLiteral("select count(*) as cnt from accounts_dep.OPER where "
                                           "vid=%1 and naimen=%2 and i_id=%3 and id<>%4")
                                .arg(v, n, i, id),
                            message))
            return false;
        m_dm.Oper_ed.execute(
            QStringLiteral("update accounts_dep.oper set vid=%1, naimen=%2,  i_id=%3 where id=%4")
                .arg(v, n, i, id));
    }
    // A changed operation stays the current one of the list read again.
    if (Tag == 1) {
        m_dm.Oper.close();
        m_dm.Oper.open();
    } else {
        m_dm.Oper.reopen();
    }
    return true;
}

namespace {

CatalogueList::Design operationListDesign()
{
    CatalogueList::Design design;
    design.objectName = QStringLiteral("TForm4");
    design.caption = QStringLiteral("Операции");
    design.subject = QStringLiteral("Операции");
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    design.columns = {{QStringLiteral("MARKA"), QStringLiteral("Марка"), 200},
                      {QStringLiteral("VID"), QStringLiteral("Опреция"), 243},
                      {QStringLiteral("cena"), QStringLiteral("Цена (min)"), 74, right},
                      {QStringLiteral("nmn"), QStringLiteral("Вид"), 139},
                      {QStringLiteral("norma"), QStringLiteral("Нормы (шт.)"), 76, right}};
    design.searchField = QStringLiteral("marka");
    design.match = CatalogueList::Match::Contains;
    design.blankSearchShowsAll = true;
    design.nameField = QStringLiteral("vid");
    design.size = QSize(820, 500);
    return design;
}

} // namespace

TForm4::TForm4(TDataModule6 &dm, TForm10 &editor, TForm22 &norms, QWidget *parent)
    : CatalogueList(dm, dm.Oper, operationListDesign(), parent)
    , Button1(addButton())
    , Button2(changeButton())
    , Button3(deleteButton())
    , Button5(new QPushButton(QStringLiteral("Excel"), this))
    , CheckBox1(new QCheckBox(QStringLiteral("Цены"), this))
    , Button4(exitButton())
    , XLS_Rep(std::make_unique<Dataset>(dm.ADO_DB))
    , m_editor(editor)
    , m_norms(norms)
{
    Button5->setObjectName(QStringLiteral("Button5"));
    Button5->setAutoDefault(false);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    addBarWidget(CheckBox1);
    addBarWidget(Button5);
    XLS_Rep->setSql(QStringList{
        QStringLiteral("select izdel.MARKA, vid_oper.VID, oper.NAIMEN,(SELECT (CASE naimen WHEN 0 "
                       "THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn, oper.CENA_new as "
                       "cena, oper.id, oper.i_id,"),
        QStringLiteral(" oper.VID as oper_vid from accounts_dep.OPER,accounts_dep.IZDEL,"
                       "accounts_dep.VID_OPER where OPER.i_id=IZDEL.id "),
        QStringLiteral(
            "and oper.vid=vid_oper.id order by izdel.marka, vid_oper.vid, oper.naimen")});
    guard::connect(Button5, &QPushButton::clicked, this, &TForm4::Button5Click);
}

TForm4::~TForm4() = default;

void TForm4::prepareCatalogue()
{
    // The catalogue always shows its search box, also after the picker hid it.
    Edit1->setVisible(true);
    list().setSql(TDataModule6::operationCatalogueText());
    CatalogueList::prepareCatalogue();
}

std::optional<TForm4::Picked> TForm4::pickOperation(qint64 currentOperation,
                                                    ActivationHandler *opener)
{
    m_locateOperation = currentOperation;
    m_picked.reset();
    runAsPicker(1, opener);
    return m_picked;
}

void TForm4::preparePicker(int tag)
{
    // The picker lists only operations that have norms: only they have a price.
    list().setSql(TDataModule6::operationListText());
    CatalogueList::preparePicker(tag);
    if (m_locateOperation != 0)
        list().locate(QStringLiteral("id"), m_locateOperation);
    else
        list().first();
}

void TForm4::finishPicker()
{
    changeButton()->setDefault(false);
    Edit1->setVisible(false);
    // The list stays open on the picked row, whole; the search box says so when the catalogue
    // shows it next.
    list().setFiltered(false);
    const QSignalBlocker quiet(Edit1);
    Edit1->clear();
}

std::optional<CatalogueList::Choice> TForm4::currentChoice() const
{
    const Dataset &row = list();
    if (row.isEmpty())
        return std::nullopt;
    // The chosen row is read whole before the search filter goes and moves the list.
    m_picked =
        Picked{row.integer(QStringLiteral("id")), row.integer(QStringLiteral("i_id")),
               int(row.integer(QStringLiteral("naimen"))), row.decimal(QStringLiteral("cena")),
               row.text(QStringLiteral("vid")).trimmed()};
    return Choice{m_picked->operationId, m_picked->kind};
}

void TForm4::gridDoubleClick()
{
    if (CheckBox1->isChecked() && Tag == 0) {
        if (list().isEmpty())
            return;
        m_norms.showNorms(list().integer(QStringLiteral("id")), this);
        return;
    }
    changeClick();
}

void TForm4::add()
{
    TForm10 &editor = m_editor;
    editor.Edit1->clear();
    editor.Edit2->clear();
    editor.ComboBox1->setCurrentIndex(0);
    editor.setWindowTitle(QStringLiteral("Заведение новой цены за операцию"));
    editor.Tag = 1;
    editor.NewOperationId = 0;
    runModal(editor, this);
    // A new operation has no norm yet and so no price: its norms are entered at once.
    if (editor.NewOperationId != 0) {
        list().locate(QStringLiteral("id"), editor.NewOperationId);
        m_norms.showNorms(editor.NewOperationId, this);
    }
}

void TForm4::change()
{
    Dataset &operations = list();
    if (operations.isEmpty())
        return;
    TForm10 &editor = m_editor;
    editor.setWindowTitle(QStringLiteral("Изменение данных о цене за операцию"));
    editor.Tag = 2;
    editor.Edit1->setText(operations.text(QStringLiteral("marka")).trimmed());
    editor.Edit2->setText(operations.text(QStringLiteral("vid")).trimmed());
    editor.ComboBox1->setCurrentIndex(operations.integer(QStringLiteral("naimen")) == 0 ? 0 : 1);
    editor.ProductId = operations.integer(QStringLiteral("i_id"));
    editor.KindId = operations.integer(QStringLiteral("oper_vid"));
    editor.OperationId = operations.integer(QStringLiteral("id"));
    runModal(editor, this);
}

void TForm4::remove()
{
    Dataset &operations = list();
    if (operations.isEmpty())
        return;
    if (operations.integer(QStringLiteral("i_id")) == 7777) {
        messages::error(QStringLiteral("Ошибка"),
                        QStringLiteral("Эта операция служит хоз. работам и среднесдельной оплате и "
                                       "не удаляется."));
        return;
    }
    if (!messages::question(QStringLiteral("Удалить операцию?")))
        return;
    const qint64 operation = operations.integer(QStringLiteral("id"));
    m_dm.Oper_del.setParam(QStringLiteral("id"), operation);
    refusal::deleteRows(m_dm, refusal::Row::Operation, operation, [&] { m_dm.Oper_del.execute(); });
    operations.close();
    operations.open();
}

void TForm4::Button5Click()
{
    BusyScope busy;
    XLS_Rep->close();
    XLS_Rep->open();
    XlsxExport excel;
    if (excel.open(QStringLiteral("Операции")) != 1) {
        XLS_Rep->close();
        return;
    }
    const QStringList titles{QStringLiteral("Марка"), QStringLiteral("Операция"),
                             QStringLiteral("Цена"), QStringLiteral("Вид")};
    for (int column = 1; column <= titles.size(); ++column)
        excel.writeCell(1, column, 1, titles.at(column - 1), false, true, false);
    int row = 2;
    for (XLS_Rep->first(); !XLS_Rep->eof(); XLS_Rep->next(), ++row) {
        excel.writeCell(1, 1, row, XLS_Rep->text(QStringLiteral("MARKA")), false, true, false);
        excel.writeCell(1, 2, row, XLS_Rep->text(QStringLiteral("VID")), false, true, false);
        excel.writeCell(1, 3, row, numbers::text(XLS_Rep->decimal(QStringLiteral("cena"))), false,
                        true, false);
        excel.writeCell(1, 4, row, productKindText(XLS_Rep->integer(QStringLiteral("NAIMEN"))),
                        false, true, false);
    }
    XLS_Rep->close();
    excel.show(true);
}
