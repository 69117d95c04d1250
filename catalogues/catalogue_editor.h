#pragma once

#include "ui/modal.h"

#include <QDialog>

class PickerBox;
class QFormLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TDataModule6;

// The editor dialog every catalogue shares: labelled boxes in a group, "Записать" (default) and a
// cancel button. Tag 1 is a new record, 2 a change of the list's current row.
class CatalogueEditor : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    struct Design
    {
        QString objectName;
        QString caption;
        QString groupTitle;
        QString saveName = QStringLiteral("Button1");
        QString cancelName = QStringLiteral("Button2");
        QString cancelCaption = QStringLiteral("Отмена");
    };

    CatalogueEditor(TDataModule6 &dm, Design design, QWidget *parent = nullptr);

    int Tag = 1;

    // The first box of the group receives the focus.
    void FormActivate() override;
    // "Записать": the catalogue's checks and write; closes the editor when it saved.
    void Button1Click();

protected:
    // Adds a labelled line edit (the label is its buddy).
    QLineEdit *addLine(const QString &label, const QString &objectName, int maxLength);
    // Adds a labelled box of any kind; the label names focusFor (the box when not given).
    void addRow(const QString &label, QWidget *box, QWidget *focusFor = nullptr);
    // Adds a labelled read-only box filled by a picker, with its "..." button.
    PickerBox *addPicker(const QString &label, const QString &editName, const QString &buttonName);

    // Checks and writes; returns false to stay open.
    virtual bool save() = 0;

    QPushButton *saveButton() const { return m_save; }
    QPushButton *cancelButton() const { return m_cancel; }

    TDataModule6 &m_dm;

private:
    QGroupBox *m_group;
    QFormLayout *m_form;
    QPushButton *m_save;
    QPushButton *m_cancel;
    QWidget *m_first = nullptr;
};
