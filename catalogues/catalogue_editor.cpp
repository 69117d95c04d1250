#include "catalogues/catalogue_editor.h"

#include "app/error_guard.h"
#include "app/picker_box.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CatalogueEditor::CatalogueEditor(TDataModule6 &dm, Design design, QWidget *parent)
    : QDialog(parent)
    , m_dm(dm)
    , m_group(new QGroupBox(design.groupTitle, this))
    , m_form(new QFormLayout(m_group))
    , m_save(new QPushButton(QStringLiteral("Записать"), this))
    , m_cancel(new QPushButton(design.cancelCaption, this))
{
    setObjectName(design.objectName);
    setWindowTitle(design.caption);
    m_save->setObjectName(design.saveName);
    m_cancel->setObjectName(design.cancelName);
    m_save->setDefault(true);
    m_save->setAutoDefault(true);
    m_cancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_group);
    layout->addLayout(buttons);

    connect(m_save, &QPushButton::clicked, this,
            [this] { guard::run([this] { Button1Click(); }); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CatalogueEditor::FormActivate()
{
    if (m_first)
        m_first->setFocus();
}

void CatalogueEditor::Button1Click()
{
    if (save())
        accept();
}

QLineEdit *CatalogueEditor::addLine(const QString &label, const QString &objectName, int maxLength)
{
    auto *edit = new QLineEdit(m_group);
    edit->setObjectName(objectName);
    edit->setMaxLength(maxLength);
    edit->setMinimumWidth(320);
    addRow(label, edit);
    return edit;
}

void CatalogueEditor::addRow(const QString &label, QWidget *box, QWidget *focusFor)
{
    auto *caption = new QLabel(label, m_group);
    caption->setBuddy(focusFor ? focusFor : box);
    m_form->addRow(caption, box);
    if (!m_first)
        m_first = focusFor ? focusFor : box;
}

PickerBox *CatalogueEditor::addPicker(const QString &label, const QString &editName,
                                      const QString &buttonName)
{
    auto *picker = new PickerBox(editName, buttonName, label, m_group);
    picker->edit()->setAccessibleName(label);
    addRow(label, picker, picker->button());
    return picker;
}
