#include "catalogues/products.h"

#include "db/data_module.h"
#include "db/messages.h"
#include "db/refused_delete.h"
#include "db/sql_text.h"
#include "ui/clock.h"
#include "ui/lookup_combo.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

namespace {

constexpr qint64 ReservedProduct = 7777;

} // namespace

TForm7::TForm7(TDataModule6 &dm, QWidget *parent)
    : CatalogueEditor(dm,
                      {QStringLiteral("TForm7"), QStringLiteral("Изделие"),
                       QStringLiteral("Данные об изделии")},
                      parent)
    , m_groups(std::make_unique<Dataset>(dm.ADO_DB))
{
    Edit1 = addLine(QStringLiteral("Марка"), QStringLiteral("Edit1"), 254);
    Edit2 = addLine(QStringLiteral("Расценка"), QStringLiteral("Edit2"), 20);
    Edit2->installEventFilter(this);
    cb_item = new LookupCombo(this);
    cb_item->setObjectName(QStringLiteral("cb_item"));
    addRow(QStringLiteral("Номенклатурная группа"), cb_item);
    Button1 = saveButton();
    Button2 = cancelButton();
    m_groups->setSql(QStringLiteral("select id, id_classifier, id_level, s_code, s_caption, "
                                    "s_description, b_excluded, d_excluded_date, id_parent from "
                                    "cmn_classifier.item where id_level=2 order by s_caption"));
}

TForm7::~TForm7() = default;

void TForm7::openGroups()
{
    m_groups->close();
    m_groups->open();
    cb_item->load(*m_groups, QStringLiteral("id"), QStringLiteral("s_caption"));
}

void TForm7::closeGroups()
{
    m_groups->close();
}

bool TForm7::eventFilter(QObject *watched, QEvent *event)
{
    // "Расценка" takes digits and one kind of separator, the desktop's: on a Russian desktop a
    // point is typed as a comma, as the list shows the number.
    if (watched == Edit2 && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (text.isEmpty() || !text.at(0).isPrint() || key->key() == Qt::Key_Backspace)
            return CatalogueEditor::eventFilter(watched, event);
        if (text == QLatin1String(",") || text == QLatin1String(".")) {
            Edit2->insert(QLocale().decimalPoint());
            return true;
        }
        if (!text.at(0).isDigit() || text.size() != 1)
            return true;
    }
    return CatalogueEditor::eventFilter(watched, event);
}

bool TForm7::save()
{
    const QString mark = Edit1->text().trimmed();
    const QString boxesText = Edit2->text().trimmed();
    const std::optional<qint64> group = cb_item->keyValue();
    if (mark.isEmpty() || boxesText.isEmpty() || (group && *group == 0)) {
        messages::error(QStringLiteral("Ошибка"),
                        QStringLiteral("Все поля должны быть заполнены!"));
        return false;
    }
    // The separator is normalised as the database expects it, then the number is checked and bound
    // as decimal text, so numeric stores every digit typed; a database without a separator must
    // not turn 5.25 into 525.
    const QString normalised =
        m_dm.DecimalDelimiter.isEmpty() ? boxesText : m_dm.FixDecimal(boxesText);
    const std::optional<QString> boxes = sql::decimalText(normalised);
    if (!boxes) {
        messages::error(QStringLiteral("Ошибка"),
                        QStringLiteral("В поле «Расценка» должно быть число, например 2 или 0.5."));
        return false;
    }
    const QString upper = QLocale().toUpper(mark);
    QString count = QStringLiteral("select count(*) as cnt from accounts_dep.izdel where "
                                   "upper(marka)=%1")
                        .arg(sql::quote(upper));
    if (Tag != 1)
        count += QStringLiteral("and id<>") + sql::integer(ProductId);
    if (m_dm.CheckCount(count, QStringLiteral("Такая марка изделия уже заведена!")))
        return false;

    Command &command = m_dm.SQL_exec;
    command.setParam(QStringLiteral("mark"), mark);
    command.setParam(QStringLiteral("massa"), *boxes);
    if (Tag == 1) {
        // Without a choice the group shown first in the list is taken.
        command.setParam(QStringLiteral("grp"), group ? *group : cb_item->firstKey());
        command.execute(QStringLiteral(
            "INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, "
            "id_class_item)VALUES(:mark, '', 6, :massa,:grp)"));
    } else {
        command.setParam(QStringLiteral("grp"), group ? *group : cb_item->firstKey());
        command.execute(QStringLiteral("UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption=:mark, "
                                       "s_description='', id_msm_bs=6, massa=:massa, "
                                       "id_class_item=:grp where id=") +
                        sql::integer(ProductId));
    }
    m_dm.Izdel.close();
    m_dm.Izdel.open();
    return true;
}

namespace {

CatalogueList::Design productListDesign()
{
    CatalogueList::Design design;
    design.objectName = QStringLiteral("TForm3");
    design.caption = QStringLiteral("Изделия (3)");
    design.subject = QStringLiteral("Изделия");
    design.columns = {{QStringLiteral("marka"), QStringLiteral("Марка изделия"), 315},
                      {QStringLiteral("nom"), QStringLiteral("Номенклатурная группа"), 162},
                      {QStringLiteral("massa"), QStringLiteral("Коробки"), 67}};
    design.searchField = QStringLiteral("marka");
    design.searchKeys = CatalogueList::SearchKeys::OnlyUpDown;
    design.searchPlace = CatalogueList::SearchPlace::UnderGrid;
    design.nameField = QStringLiteral("marka");
    design.size = QSize(600, 460);
    return design;
}

} // namespace

TForm3::TForm3(TDataModule6 &dm, TForm7 &editor, QWidget *parent)
    : CatalogueList(dm, dm.Izdel, productListDesign(), parent)
    , Button1(addButton())
    , Button2(changeButton())
    , Button3(deleteButton())
    , Button4(exitButton())
    , Izdel_Smena(std::make_unique<Dataset>(dm.ADO_DB))
    , ii_oper(std::make_unique<Dataset>(dm.ADO_DB))
    , ii_massa(std::make_unique<Dataset>(dm.ADO_DB))
    , m_editor(editor)
{
    ii_massa->setSql(QStringLiteral("select massa::text as massa from cmn_gds_and_srv.gds_and_srv "
                                    "where id=:id"));
    Izdel_Smena->setSql(QStringLiteral("select count(*) as cnt from accounts_dep.smena s where "
                                       "s.i_id =:id_ii and s.\"data\">=:dt"));
    ii_oper->setSql(
        QStringLiteral("select count(*) as cnt from accounts_dep.oper o where o.i_id =:id_ii"));
}

TForm3::~TForm3() = default;

void TForm3::prepareCatalogue()
{
    // The catalogue always shows its search box, so a list filtered by a picker's search says so.
    Edit1->setVisible(true);
    CatalogueList::prepareCatalogue();
}

void TForm3::finishPicker()
{
    changeButton()->setDefault(false);
    Edit1->setVisible(false);
    CatalogueList::finishPicker();
}

void TForm3::add()
{
    TForm7 &editor = m_editor;
    Dataset &products = list();
    const int recNo = products.recNo();
    editor.Edit1->clear();
    editor.Edit2->clear();
    editor.setWindowTitle(QStringLiteral("Заведение нового изделия (7)"));
    editor.Tag = 1;
    editor.openGroups();
    // The box shows the group a save stores: the one kept from the last product, else the first.
    if (editor.cb_item->currentIndex() < 0 && editor.cb_item->count() > 0)
        editor.cb_item->setKeyValue(editor.cb_item->firstKey());
    runModal(editor, this);
    editor.closeGroups();
    products.setRecNo(recNo);
}

void TForm3::change()
{
    Dataset &products = list();
    if (products.isEmpty())
        return;
    const int recNo = products.recNo();
    TForm7 &editor = m_editor;
    editor.setWindowTitle(QStringLiteral("Изменение данных изделия (7)"));
    editor.Tag = 2;
    editor.Edit1->setText(products.text(QStringLiteral("marka")).trimmed());
    editor.ProductId = products.integer(QStringLiteral("id"));
    // The stored number digit for digit: the list holds it as a double, which keeps about 16
    // significant digits, and a save without a change must not round it.
    ii_massa->setParam(QStringLiteral("id"), editor.ProductId);
    ii_massa->open();
    // Shown with the desktop's separator, as the list shows it; a save takes either separator.
    editor.Edit2->setText(ii_massa->isEmpty()
                              ? products.text(QStringLiteral("massa")).trimmed()
                              : ii_massa->text(QStringLiteral("massa"))
                                    .replace(QLatin1Char('.'), QLocale().decimalPoint()));
    ii_massa->close();
    editor.openGroups();
    editor.cb_item->setKeyValue(products.integer(QStringLiteral("id_class_item")));
    runModal(editor, this);
    editor.closeGroups();
    products.setRecNo(recNo);
}

void TForm3::remove()
{
    Dataset &products = list();
    if (products.isEmpty())
        return;
    const qint64 product = products.integer(QStringLiteral("id"));
    if (product == ReservedProduct) {
        messages::error(QStringLiteral("Ошибка"),
                        QStringLiteral("Изделие 7777 служит хоз. работам и среднесдельной оплате и "
                                       "не удаляется."));
        return;
    }
    // Entries of practically all time: from the first day of the previous month of the year 2000.
    const int month = Clock::today().month() == 1 ? 13 : Clock::today().month();
    Izdel_Smena->setParam(QStringLiteral("id_ii"), product);
    Izdel_Smena->setParam(QStringLiteral("dt"), QDate(2000, month - 1, 1));
    Izdel_Smena->open();
    const qint64 entries = Izdel_Smena->integer(QStringLiteral("cnt"));
    Izdel_Smena->close();
    ii_oper->setParam(QStringLiteral("id_ii"), product);
    ii_oper->open();
    const qint64 prices = ii_oper->integer(QStringLiteral("cnt"));
    ii_oper->close();

    // Both answers first, then the deletes of one answer land together or not at all.
    const bool deletePrices =
        prices > 0 &&
        messages::question(QStringLiteral("По изделию есть расценки они будут удалены!!!"));
    const bool deleteProduct = messages::question(
        entries > 0
            ? QStringLiteral("По изделию есть операции в текущем, предыдущем месяцах и ранее, "
                             "они будут удалены. Удалить изделие? ")
            : QStringLiteral("Удалить изделие? "));
    const QString id = sql::integer(product);
    if (deletePrices && !deleteProduct) {
        const qint64 used = m_dm.scalar(
            QStringLiteral("select count(*) as cnt from accounts_dep.smena s where s.o_id in "
                           "(select o.id from accounts_dep.oper o where o.i_id =%1)")
                .arg(id),
            QStringLiteral("cnt"));
        if (used > 0) {
            messages::error(QStringLiteral("Ошибка"),
                            refusal::sentence(m_dm, refusal::Row::ProductPrices, product));
            reopenAt(0);
            return;
        }
    }
    if (deletePrices || deleteProduct) {
        // What can still hold the rows: the entries of its operations when they go, else the
        // operations themselves.
        const refusal::Row held = !deletePrices   ? refusal::Row::Product
                                  : deleteProduct ? refusal::Row::ProductElsewhere
                                                  : refusal::Row::ProductPrices;
        refusal::deleteRows(m_dm, held, product, [&] {
            // The database re-posts the timesheet days of the deleted entries at once.
            if (deleteProduct && entries > 0)
                m_dm.DelSmena.execute(
                    QStringLiteral("delete from accounts_dep.smena where i_id =") + id);
            if (deletePrices)
                m_dm.DelSmena.execute(
                    QStringLiteral("delete from accounts_dep.oper o where o.i_id =") + id);
            if (deleteProduct)
                m_dm.DelSmena.execute(
                    QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv  where id=") + id);
        });
    }
    reopenAt(0);
}
