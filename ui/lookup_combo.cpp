#include "ui/lookup_combo.h"

#include "db/dataset.h"

#include <QWheelEvent>

LookupCombo::LookupCombo(QWidget *parent)
    : QComboBox(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            m_key = itemData(index).toLongLong();
    });
}

void LookupCombo::load(const Dataset &rows, const QString &keyField, const QString &displayField)
{
    const QSignalBlocker blocker(this);
    clear();
    const int key = rows.columnOf(keyField);
    const int display = rows.columnOf(displayField);
    for (int row = 0; row < rows.recordCount(); ++row)
        addItem(rows.textAt(row, display), rows.valueAt(row, key).toLongLong());
    setCurrentIndex(m_key ? findData(*m_key) : -1);
}

void LookupCombo::setKeyValue(qint64 key)
{
    m_key = key;
    const QSignalBlocker blocker(this);
    setCurrentIndex(findData(key));
}

qint64 LookupCombo::firstKey() const
{
    return count() > 0 ? itemData(0).toLongLong() : 0;
}

void LookupCombo::wheelEvent(QWheelEvent *event)
{
    // A wheel turned while passing over the box must not change it.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
    if (currentIndex() >= 0)
        m_key = itemData(currentIndex()).toLongLong();
}
