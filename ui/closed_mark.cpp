#include "ui/closed_mark.h"

#include <QFont>
#include <QLabel>

QLabel *closedMonthMark(QWidget &list, QWidget *parent)
{
    auto *mark = new QLabel(QStringLiteral("Месяц закрыт: позиции только для просмотра"), parent);
    mark->setObjectName(QStringLiteral("ClosedMark"));
    QFont font = mark->font();
    font.setBold(true);
    mark->setFont(font);
    mark->setStyleSheet(QStringLiteral("color: #ff0000;"));
    mark->setVisible(false);
    mark->setBuddy(&list);
    return mark;
}
