#include "catalogues/operation_kinds.h"

#include "db/data_module.h"
#include "db/messages.h"
#include "db/refused_delete.h"
#include "db/sql_text.h"

#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

namespace {

bool isReservedKind(qint64 id)
{
    return id == 7777 || id == 7778;
}

} // namespace

TForm9::TForm9(TDataModule6 &dm, QWidget *parent)
    : CatalogueEditor(
          dm, {QStringLiteral("TForm9"), QStringLiteral("Form9"), QStringLiteral("Вид операции")},
          parent)
{
    // The column holds 128 characters; a shorter box would cut names after the duplicate check.
    Edit1 = addLine(QStringLiteral("Операция"), QStringLiteral("Edit1"), 128);
    Button1 = saveButton();
    Button2 = cancelButton();
}

bool TForm9::save()
{
    const QString name = Edit1->text().trimmed();
    if (name.isEmpty()) {
        messages::error(QStringLiteral("Ошибка"),
                        QStringLiteral("Все поля должны быть заполнены!"));
        return false;
    }
    Dataset &kinds = m_dm.Vid_oper;
    QString count = QStringLiteral("select count(*) as cnt from accounts_dep.vid_oper where "
                                   "upper(vid)=%1")
                        .arg(sql::quote(QLocale().toUpper(name)));
    if (Tag != 1)
        count += QStringLiteral(" and id<>") + sql::integer(kinds.integer(QStringLiteral("id")));
    if (m_dm.CheckCount(count, QStringLiteral("Такая операция уже заведена!")))
        return false;
    if (Tag == 1)
        kinds.append();
    else
        kinds.edit();
    kinds.setValue(QStringLiteral("vid"), name);
    try {
        kinds.post();
    } catch (...) {
        kinds.cancel();
        throw;
    }
    kinds.close();
    kinds.open();
    return true;
}

namespace {

CatalogueList::Design kindListDesign()
{
    CatalogueList::Design design;
    design.objectName = QStringLiteral("TForm8");
    design.caption = QStringLiteral("Виды операций (8)");
    design.subject = QStringLiteral("Виды операций");
    design.columns = {{QStringLiteral("vid"), QStringLiteral("Операции"), 309}};
    design.searchField = QStringLiteral("vid");
    design.searchPlace = CatalogueList::SearchPlace::UnderGrid;
    design.nameField = QStringLiteral("vid");
    design.size = QSize(420, 460);
    return design;
}

} // namespace

TForm8::TForm8(TDataModule6 &dm, TForm9 &editor, QWidget *parent)
    : CatalogueList(dm, dm.Vid_oper, kindListDesign(), parent)
    , Button1(addButton())
    , Button2(changeButton())
    , Button3(deleteButton())
    , Button4(exitButton())
    , m_editor(editor)
{
    setSizeGripEnabled(true);
    Edit1->setVisible(false);
    dm.Vid_oper.setEditTable(QStringLiteral("accounts_dep.vid_oper"));
}

void TForm8::prepareCatalogue()
{
    list().setFiltered(false);
    CatalogueList::prepareCatalogue();
}

void TForm8::finishPicker()
{
    changeButton()->setDefault(false);
    Edit1->setVisible(false);
    CatalogueList::finishPicker();
}

std::optional<CatalogueList::Choice> TForm8::currentChoice() const
{
    // An empty list hands back an empty name and id 0.
    return Choice{list().integer(QStringLiteral("id")),
                  list().text(QStringLiteral("vid")).trimmed()};
}

void TForm8::add()
{
    TForm9 &editor = m_editor;
    editor.Edit1->clear();
    editor.setWindowTitle(QStringLiteral("Заведение нового вида операций"));
    editor.Tag = 1;
    runModal(editor, this);
}

void TForm8::change()
{
    if (list().isEmpty())
        return;
    TForm9 &editor = m_editor;
    editor.setWindowTitle(QStringLiteral("Изменение данных вида операции"));
    editor.Tag = 2;
    editor.Edit1->setText(list().text(QStringLiteral("vid")).trimmed());
    runModal(editor, this);
}

void TForm8::remove()
{
    Dataset &kinds = list();
    if (kinds.isEmpty())
        return;
    if (isReservedKind(kinds.integer(QStringLiteral("id")))) {
        messages::error(QStringLiteral("Ошибка"),
                        QStringLiteral("Этот вид операции служит хоз. работам и среднесдельной "
                                       "оплате и не удаляется."));
        return;
    }
    if (!messages::question(QStringLiteral("Удалить вид операции?")))
        return;
    refusal::deleteRows(m_dm, refusal::Row::Kind, kinds.integer(QStringLiteral("id")),
                        [&] { kinds.remove(); });
    kinds.close();
    kinds.open();
}
