#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

// A read-only box showing what was picked, with a "..." button beside it; a click on either asks
// for the picker. The box takes no keyboard focus; the button does.
class PickerBox : public QWidget
{
    Q_OBJECT
public:
    PickerBox(const QString &editName, const QString &buttonName, const QString &subject,
              QWidget *parent = nullptr);

    QLineEdit *edit() const { return m_edit; }
    QPushButton *button() const { return m_button; }

Q_SIGNALS:
    void pickRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_edit;
    QPushButton *m_button;
};
