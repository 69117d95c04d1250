#include "ui/picker_box.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

PickerBox::PickerBox(const QString &editName, const QString &buttonName, const QString &subject,
                     QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_button(new QPushButton(QStringLiteral("..."), this))
{
    m_edit->setObjectName(editName);
    m_edit->setReadOnly(true);
    m_edit->setFocusPolicy(Qt::NoFocus);
    m_edit->setMinimumWidth(320);
    m_edit->installEventFilter(this);
    m_button->setObjectName(buttonName);
    m_button->setAutoDefault(false);
    m_button->setAccessibleName(QStringLiteral("Выбрать: ") + subject);
    m_button->setFixedWidth(m_button->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, &PickerBox::pickRequested);
}

bool PickerBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && m_edit->isEnabled()) {
        Q_EMIT pickRequested();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
