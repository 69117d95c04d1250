#pragma once

#include "catalogues/catalogue_editor.h"
#include "catalogues/catalogue_list.h"

#include <memory>

class Dataset;

// The group editor "Ведение групп (29)": the group's name.
class TForm29 : public CatalogueEditor
{
    Q_OBJECT
public:
    TForm29(TDataModule6 &dm, Dataset &groups, QWidget *parent = nullptr);

    QLineEdit *Edit1;
    QPushButton *Button1;
    QPushButton *Button6;

protected:
    bool save() override;

private:
    Dataset &m_groups;
};

// The nomenclature groups list "Номенклатура (26)": catalogue of groups and their picker.
class TForm26 : public CatalogueList
{
    Q_OBJECT
public:
    TForm26(TDataModule6 &dm, QWidget *parent = nullptr);
    ~TForm26() override;

    // The group editor works on this list's own query, so the list makes it and keeps it.
    TForm29 &Form29() const { return *m_editor; }

    // The list's own query of the level-2 classifier items, and the usage counts of a group.
    Dataset &item;
    std::unique_ptr<Dataset> item_gds;
    QPushButton *Button2;
    QPushButton *Button3;
    QPushButton *Button1;
    QPushButton *Button4;

protected:
    void preparePicker(int tag) override;
    void finishPicker() override;
    void add() override;
    void change() override;
    void remove() override;
    std::optional<Choice> currentChoice() const override;

private:
    std::unique_ptr<TForm29> m_editor;
};
