#include "catalogues/nomenclature_groups.h"

#include "db/data_module.h"
#include "db/messages.h"
#include "db/sql_text.h"
#include "ui/window_setup.h"

#include <QLineEdit>
#include <QPushButton>

TForm29::TForm29(TDataModule6 &dm, Dataset &groups, QWidget *parent)
    : CatalogueEditor(dm,
                      {QStringLiteral("TForm29"), QStringLiteral("Ведение групп (29)"),
                       QStringLiteral("Номенклатурная группа"), QStringLiteral("Button1"),
                       QStringLiteral("Button6"), QStringLiteral("Выход")},
                      parent)
    , m_groups(groups)
{
    Edit1 = addLine(QStringLiteral("Наименование"), QStringLiteral("Edit1"), 254);
    Edit1->setFocusPolicy(Qt::ClickFocus);
    Button1 = saveButton();
    Button6 = cancelButton();
    applyFixedFrame(*this);
}

bool TForm29::save()
{
    // An empty name is saved as it is.
    Command &command = m_dm.SQL_exec;
    command.setParam(QStringLiteral("caption"), Edit1->text().trimmed());
    if (Tag == 1) {
        command.execute(
            QStringLiteral("INSERT INTO cmn_classifier.item(s_caption) VALUES(:caption)"));
    } else {
        command.execute(
            QStringLiteral("UPDATE cmn_classifier.item SET s_caption=:caption where id=") +
            sql::integer(m_groups.integer(QStringLiteral("id"))));
    }
    m_groups.close();
    m_groups.open();
    return true;
}

namespace {

CatalogueList::Design groupListDesign()
{
    CatalogueList::Design design;
    design.objectName = QStringLiteral("TForm26");
    design.caption = QStringLiteral("Номенклатура (26)");
    design.subject = QStringLiteral("Номенклатурные группы");
    design.columns = {{QStringLiteral("s_caption"), QStringLiteral("Наименование"), 534}};
    design.searchField = QStringLiteral("s_caption");
    design.addName = QStringLiteral("Button2");
    design.changeName = QStringLiteral("Button3");
    design.deleteName = QStringLiteral("Button1");
    design.nameField = QStringLiteral("s_caption");
    design.size = QSize(600, 460);
    return design;
}

std::unique_ptr<Dataset> groupQuery(TDataModule6 &dm)
{
    auto query = std::make_unique<Dataset>(dm.ADO_DB);
    query->setSql(
        QStringLiteral("select * from cmn_classifier.item where id_level=2 order by s_caption"));
    return query;
}

} // namespace

TForm26::TForm26(TDataModule6 &dm, QWidget *parent)
    : CatalogueList(dm, groupQuery(dm), groupListDesign(), parent)
    , item(list())
    , item_gds(std::make_unique<Dataset>(dm.ADO_DB))
    , Button2(addButton())
    , Button3(changeButton())
    , Button1(deleteButton())
    , Button4(exitButton())
    , m_editor(std::make_unique<TForm29>(dm, item))
{
    item_gds->setSql(QStringList{
        QStringLiteral("select (select count(gds.*) cnt_gds from cmn_gds_and_srv.gds_and_srv gds "
                       "where gds.id_class_item = :id_nom3),"),
        QStringLiteral(
            "(select count(f.*) cnt_f from accounts_dep.fatigue f where f.id_nom = :id_nom1),"),
        QStringLiteral(
            "(select count(s.*) cnt_s from accounts_dep.smena s,cmn_gds_and_srv.gds_and_srv "
            "gds where gds.id = s.i_id and gds.id_class_item = :id_nom2)")});
}

TForm26::~TForm26() = default;

void TForm26::preparePicker(int tag)
{
    // The picker keeps the search text of earlier openings.
    showAsPicker(tag);
    item.open();
}

void TForm26::finishPicker()
{
    addButton()->setVisible(true);
    deleteButton()->setVisible(true);
    CatalogueList::finishPicker();
}

std::optional<CatalogueList::Choice> TForm26::currentChoice() const
{
    if (item.isEmpty())
        return std::nullopt;
    // The caption goes to the caller as it stands.
    return Choice{item.integer(QStringLiteral("id")), item.text(QStringLiteral("s_caption"))};
}

void TForm26::add()
{
    const int recNo = item.recNo();
    m_editor->Edit1->clear();
    m_editor->Tag = 1;
    runModal(*m_editor, this);
    item.setRecNo(recNo);
}

void TForm26::change()
{
    if (item.isEmpty())
        return;
    const int recNo = item.recNo();
    m_editor->Tag = 2;
    m_editor->Edit1->setText(item.text(QStringLiteral("s_caption")).trimmed());
    runModal(*m_editor, this);
    item.setRecNo(recNo);
}

void TForm26::remove()
{
    if (item.isEmpty())
        return;
    const qint64 group = item.integer(QStringLiteral("id"));
    for (const char *name : {"id_nom1", "id_nom2", "id_nom3"})
        item_gds->setParam(QLatin1String(name), group);
    item_gds->open();
    const qint64 products = item_gds->integer(QStringLiteral("cnt_gds"));
    const qint64 hourPaid = item_gds->integer(QStringLiteral("cnt_f"));
    const qint64 entries = item_gds->integer(QStringLiteral("cnt_s"));
    item_gds->close();
    if (products > 0) {
        messages::error(QStringLiteral("Удаление"),
                        QStringLiteral("В номенклатурной группе есть изделия."));
        return;
    }
    if (hourPaid > 0 || entries > 0) {
        messages::error(QStringLiteral("Удаление"),
                        QStringLiteral("В номенклатурной группе есть операции."));
        return;
    }
    m_dm.DelSmena.execute(QStringLiteral("DELETE FROM cmn_classifier.item WHERE id=") +
                          sql::integer(group));
    reopenAt(item.recNo());
}
