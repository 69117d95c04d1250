#include "shiftlog/entry_history.h"

#include "db/data_module.h"
#include "db/dataset.h"
#include "ui/data_grid.h"
#include "ui/dataset_model.h"
#include "ui/window_setup.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QStringList EntryHistory::queryText()
{
    // Each column an entry keeps, with its title and how its value reads: a day, a worker's
    // name, a product's mark, an operation's kind, or as stored. Columns without a title (the
    // ERP's links) are not shown.
    return {
        QStringLiteral("with cols (ord, col, title, kind) as (values"),
        QStringLiteral(" (1, 'data', 'Дата', 'day'), (2, 'd_date', 'Дата', 'day'),"),
        QStringLiteral(" (3, 'smena', 'Смена', ''), (4, 'i_smena', 'Смена', ''),"),
        QStringLiteral(" (5, 'w_id', 'Работник', 'worker'), (6, 'id_p', 'Работник', 'worker'),"),
        QStringLiteral(" (7, 'i_id', 'Изделие', 'product'), (8, 'o_id', 'Операция', 'operation'),"),
        QStringLiteral(" (9, 'id_o', 'Вид работ', ''), (10, 'id_nom', 'Группа', 'group'),"),
        QStringLiteral(
            " (11, 'color', 'Цвет', ''), (12, 'time', 'Часы', ''), (13, 'cnt', 'Часы', ''),"),
        QStringLiteral(" (14, 'kol_vo', 'Кол-во', ''), (15, 'brak', 'Брак', ''),"),
        QStringLiteral(" (16, 'cena', 'Расценка', ''), (17, 'price', 'Цена', ''),"),
        QStringLiteral(" (18, 'prize', 'Премия (%)', ''), (19, 'i_holiday', 'Выходной', ''),"),
        QStringLiteral(" (20, 'i_night', 'Ночь', ''), (21, 'ok', 'OK', ''),"),
        QStringLiteral(" (22, 'vvod', 'Заведен', 'day'))"),
        QStringLiteral("select h.id, to_char(h.changed_at, 'DD.MM.YYYY HH24:MI:SS') as changed,"),
        QStringLiteral(" h.os_user, h.workstation, h.program_role, h.db_user,"),
        QStringLiteral(
            " case h.action when 'insert' then 'Добавлена' when 'update' then 'Изменена'"),
        QStringLiteral("  else 'Удалена' end as act,"),
        QStringLiteral(" (select string_agg(c.title || ': ' || case h.action"),
        QStringLiteral(
            "    when 'update' then v.b || ' → ' || v.a when 'insert' then v.a else v.b end,"),
        QStringLiteral("    '; ' order by c.ord)"),
        QStringLiteral("  from cols c cross join lateral (select"),
        QStringLiteral("   coalesce(nullif(case c.kind"),
        QStringLiteral(
            "    when 'day' then to_char((h.before_row->>c.col)::timestamp, 'DD.MM.YYYY')"),
        QStringLiteral("    when 'worker' then (select p.s_caption from cmn_contractor.person p"),
        QStringLiteral("     where p.id = (h.before_row->>c.col)::numeric)"),
        QStringLiteral("    when 'product' then (select i.marka from accounts_dep.izdel i"),
        QStringLiteral("     where i.id = (h.before_row->>c.col)::numeric)"),
        QStringLiteral("    when 'operation' then (select k.vid from accounts_dep.oper o join"),
        QStringLiteral("     accounts_dep.vid_oper k on k.id = o.vid where o.id = "
                       "(h.before_row->>c.col)::numeric)"),
        QStringLiteral("    end, ''), h.before_row->>c.col, '—') as b,"),
        QStringLiteral("   coalesce(nullif(case c.kind"),
        QStringLiteral(
            "    when 'day' then to_char((h.after_row->>c.col)::timestamp, 'DD.MM.YYYY')"),
        QStringLiteral("    when 'worker' then (select p.s_caption from cmn_contractor.person p"),
        QStringLiteral("     where p.id = (h.after_row->>c.col)::numeric)"),
        QStringLiteral("    when 'product' then (select i.marka from accounts_dep.izdel i"),
        QStringLiteral("     where i.id = (h.after_row->>c.col)::numeric)"),
        QStringLiteral("    when 'operation' then (select k.vid from accounts_dep.oper o join"),
        QStringLiteral("     accounts_dep.vid_oper k on k.id = o.vid where o.id = "
                       "(h.after_row->>c.col)::numeric)"),
        QStringLiteral("    end, ''), h.after_row->>c.col, '—') as a) v"),
        QStringLiteral("  where (h.before_row ? c.col or h.after_row ? c.col)"),
        QStringLiteral("   and (h.action = 'update' or coalesce(h.after_row, h.before_row)->>c.col "
                       "is not null)"),
        QStringLiteral(" ) as what"),
        QStringLiteral("from accounts_dep.entry_history h"),
        QStringLiteral("where h.entry_table = :tbl and h.entry_id = :id"),
        QStringLiteral("order by h.id"),
    };
}

EntryHistory::EntryHistory(TDataModule6 &dm, QWidget *parent)
    : QDialog(parent)
    , DBGrid(new DataGrid(this))
    , Button1(new QPushButton(QStringLiteral("Закрыть"), this))
    , History(new Dataset(dm.ADO_DB, this))
    , NoChanges(new QLabel(QStringLiteral("Изменений этой позиции не записано: она не менялась с "
                                          "тех пор, как ведется история."),
                           this))
{
    setObjectName(QStringLiteral("EntryHistory"));
    setWindowTitle(QStringLiteral("История изменений позиции"));
    DBGrid->setObjectName(QStringLiteral("DBGrid"));
    Button1->setObjectName(QStringLiteral("Button1"));
    History->setObjectName(QStringLiteral("History"));
    History->setSql(queryText());
    DBGrid->setAccessibleName(QStringLiteral("История изменений"));

    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    m_model = new DatasetModel(
        *History,
        {{QStringLiteral("changed"), QStringLiteral("Время"), 120, left},
         {QStringLiteral("act"), QStringLiteral("Действие"), 75, left},
         {QStringLiteral("os_user"), QStringLiteral("Пользователь"), 100, left},
         {QStringLiteral("workstation"), QStringLiteral("Рабочее место"), 110, left},
         {QStringLiteral("program_role"), QStringLiteral("Роль"), 100, left},
         {QStringLiteral("db_user"), QStringLiteral("Пользователь БД"), 90, left},
         {QStringLiteral("what"), QStringLiteral("Что изменено"), 560, left}},
        DBGrid);
    DBGrid->show(m_model);
    // A change of many columns reads as a paragraph in the room the window has.
    DBGrid->setWrappingColumn(int(m_model->columns().size()) - 1);

    Button1->setAutoDefault(false);
    NoChanges->setObjectName(QStringLiteral("NoChanges"));
    NoChanges->hide();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(NoChanges);
    bottom->addStretch(1);
    bottom->addWidget(Button1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(DBGrid, 1);
    layout->addLayout(bottom);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    applyGridFrame(*this, QSize(1180, 360));
}

EntryHistory::~EntryHistory() = default;

void EntryHistory::load(const QString &table, qint64 entryId)
{
    History->close();
    History->setParam(QStringLiteral("tbl"), table);
    History->setParam(QStringLiteral("id"), entryId);
    History->open();
    NoChanges->setVisible(History->isEmpty());
}
