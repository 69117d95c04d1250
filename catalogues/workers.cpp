#include "catalogues/workers.h"

#include "db/data_module.h"
#include "db/messages.h"
#include "db/refused_delete.h"
#include "db/sql_text.h"
#include "ui/lookup_combo.h"

#include <QLineEdit>

TForm2::TForm2(TDataModule6 &dm, QWidget *parent)
    : CatalogueEditor(dm,
                      {QStringLiteral("TForm2"), QStringLiteral("Работники"),
                       QStringLiteral("Данные о работнике")},
                      parent)
    , m_department(std::make_unique<Dataset>(dm.ADO_DB))
    , m_staffpos(std::make_unique<Dataset>(dm.ADO_DB))
    , m_roles(std::make_unique<Dataset>(dm.ADO_DB))
{
    Edit1 = addLine(QStringLiteral("ФИО"), QStringLiteral("Edit1"), 254);
    LCB_department = new LookupCombo(this);
    LCB_department->setObjectName(QStringLiteral("LCB_department"));
    addRow(QStringLiteral("Подразделение"), LCB_department);
    LCB_staffpos = new LookupCombo(this);
    LCB_staffpos->setObjectName(QStringLiteral("LCB_staffpos"));
    addRow(QStringLiteral("Должность"), LCB_staffpos);
    LCB_roles = new LookupCombo(this);
    LCB_roles->setObjectName(QStringLiteral("LCB_roles"));
    addRow(QStringLiteral("Роль"), LCB_roles);
    Button1 = saveButton();
    Button2 = cancelButton();

    m_department->setSql(
        QStringLiteral("select id, id_branch, s_code, s_caption, s_description, "
                       "id_parent from cmn_department.department order by s_caption"));
    m_staffpos->setSql(
        QStringLiteral("select id, id_department, s_code, s_caption, d_begin, d_end, "
                       "s_description from hrms_staffpos.staffpos order by s_caption"));
    m_roles->setSql(QStringLiteral("select id, s_name, s_caption, d_begin, d_end, b_active from "
                                   "adm_role.roles order by s_caption"));
}

TForm2::~TForm2() = default;

void TForm2::reloadLookups()
{
    const std::pair<Dataset *, LookupCombo *> lookups[] = {{m_staffpos.get(), LCB_staffpos},
                                                           {m_roles.get(), LCB_roles},
                                                           {m_department.get(), LCB_department}};
    for (const auto &[table, combo] : lookups) {
        table->close();
        table->open();
        combo->load(*table, QStringLiteral("id"), QStringLiteral("s_caption"));
    }
}

void TForm2::showDepartment(const QString &label)
{
    m_storedDepartment = label;
    // Nothing shown for a new worker or an unknown label: 0 is no department's key.
    const int index = label.trimmed().isEmpty() ? -1 : LCB_department->findText(label.trimmed());
    LCB_department->setKeyValue(index >= 0 ? LCB_department->itemData(index).toLongLong() : 0);
}

bool TForm2::save()
{
    const QString name = Edit1->text().trimmed();
    if (name.isEmpty()) {
        messages::error(QStringLiteral("Ошибка"), QStringLiteral("ФИО нужно заполнить!"));
        return false;
    }
    Command &command = m_dm.SQL_exec;
    command.setParam(QStringLiteral("fio"), name);
    // A change keeps the stored label unless another department is shown; it may name none of
    // the departments listed (typed by the earlier program).
    const QString department = LCB_department->currentIndex() >= 0 || Tag == 1
                                   ? LCB_department->shownText()
                                   : m_storedDepartment;
    command.setParam(QStringLiteral("staff"), department);
    if (Tag == 1) {
        command.execute(QStringLiteral("INSERT INTO accounts_dep.person (fio, s_staffpos_hl)"
                                       "VALUES(:fio, :staff)"));
    } else {
        command.execute(QStringLiteral("UPDATE accounts_dep.person SET fio=:fio, "
                                       "s_staffpos_hl=:staff where accounts_dep.person.id=") +
                        sql::integer(WorkerId));
    }
    return true;
}

namespace {

CatalogueList::Design workerListDesign()
{
    CatalogueList::Design design;
    design.objectName = QStringLiteral("TForm5");
    design.caption = QStringLiteral("Список рабочих");
    design.subject = QStringLiteral("Работники");
    design.columns = {{QStringLiteral("fio"), QStringLiteral("ФИО"), 300},
                      {QStringLiteral("s_staffpos_hl"), QStringLiteral("Должность"), 300}};
    design.searchField = QStringLiteral("fio");
    design.nameField = QStringLiteral("fio");
    design.size = QSize(680, 460);
    return design;
}

} // namespace

TForm5::TForm5(TDataModule6 &dm, TForm2 &editor, QWidget *parent)
    : CatalogueList(dm, dm.Workers, workerListDesign(), parent)
    , Button1(addButton())
    , Button2(changeButton())
    , Button3(deleteButton())
    , Button4(exitButton())
    , m_editor(editor)
{}

void TForm5::add()
{
    TForm2 &editor = m_editor;
    editor.Edit1->clear();
    editor.setWindowTitle(QStringLiteral("Заведение данных нового работника"));
    editor.Tag = 1;
    editor.reloadLookups();
    editor.showDepartment(QString());
    runModal(editor, this);
    list().close();
    list().open();
}

void TForm5::change()
{
    TForm2 &editor = m_editor;
    Dataset &workers = list();
    const int recNo = workers.recNo();
    editor.setWindowTitle(QStringLiteral("Изменение данных работника"));
    editor.Tag = 2;
    editor.reloadLookups();
    editor.Edit1->setText(workers.text(QStringLiteral("fio")).trimmed());
    editor.showDepartment(workers.text(QStringLiteral("s_staffpos_hl")));
    editor.WorkerId = workers.integer(QStringLiteral("id"));
    runModal(editor, this);
    reopenAt(recNo);
    accept();
}

void TForm5::remove()
{
    Dataset &workers = list();
    if (workers.isEmpty())
        return;
    if (!messages::question(QStringLiteral("Удалить работника?")))
        return;
    const int recNo = workers.recNo();
    const qint64 worker = workers.integer(QStringLiteral("id"));
    refusal::deleteRows(m_dm, refusal::Row::Worker, worker, [&] {
        m_dm.DelSmena.execute(QStringLiteral("delete from accounts_dep.person where id =") +
                              sql::integer(worker));
    });
    reopenAt(recNo);
}
