#pragma once

#include "catalogues/catalogue_editor.h"
#include "catalogues/catalogue_list.h"

#include <memory>

class Dataset;
class LookupCombo;

// The worker editor: name and the department label shown in the list.
class TForm2 : public CatalogueEditor
{
    Q_OBJECT
public:
    explicit TForm2(TDataModule6 &dm, QWidget *parent = nullptr);
    ~TForm2() override;

    QLineEdit *Edit1;
    LookupCombo *LCB_department;
    LookupCombo *LCB_staffpos;
    LookupCombo *LCB_roles;
    QPushButton *Button1;
    QPushButton *Button2;
    // The worker being changed.
    qint64 WorkerId = 0;

    // Reads the three lookup tables again so they show current data.
    void reloadLookups();
    // Shows the department of the label stored with the worker (none for a new one); a save
    // keeps the label until another department is picked.
    void showDepartment(const QString &label);

protected:
    bool save() override;

private:
    std::unique_ptr<Dataset> m_department;
    std::unique_ptr<Dataset> m_staffpos;
    std::unique_ptr<Dataset> m_roles;
    QString m_storedDepartment;
};

// The worker list "Список рабочих": catalogue of workers and their picker.
class TForm5 : public CatalogueList
{
    Q_OBJECT
public:
    // The list opens its editor for "Добавить" and "Изменить".
    TForm5(TDataModule6 &dm, TForm2 &editor, QWidget *parent = nullptr);

    QPushButton *Button1;
    QPushButton *Button2;
    QPushButton *Button3;
    QPushButton *Button4;

protected:
    void add() override;
    void change() override;
    void remove() override;

private:
    TForm2 &m_editor;
};
