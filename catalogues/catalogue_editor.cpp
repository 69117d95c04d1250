#include "catalogues/catalogue_editor.h"

#include "ui/error_guard.h"
#include "ui/picker_box.h"
#include "ui/window_setup.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

namespace {

// A box never holds half a character: a paste cut at the box's length can split a character of two
// UTF-16 units (an emoji), and the half would reach the database as "?" where the box shows
// something else. The half is dropped.
class WholeCharacters : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override
    {
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input.at(i);
            if (c.isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate()) {
                ++i;
            } else if (c.isSurrogate()) {
                input.remove(i, 1);
                if (pos > i)
                    --pos;
                --i;
            }
        }
        return Acceptable;
    }
};

} // namespace

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

    guard::connect(m_save, &QPushButton::clicked, this, &CatalogueEditor::Button1Click);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    rememberGeometry(*this);
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
    edit->setValidator(new WholeCharacters(edit));
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
