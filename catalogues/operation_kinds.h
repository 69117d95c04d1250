#pragma once

#include "catalogues/catalogue_editor.h"
#include "catalogues/catalogue_list.h"

// The operation kind editor: the kind's name.
class TForm9 : public CatalogueEditor
{
    Q_OBJECT
public:
    explicit TForm9(TDataModule6 &dm, QWidget *parent = nullptr);

    QLineEdit *Edit1;
    QPushButton *Button1;
    QPushButton *Button2;

protected:
    bool save() override;
};

// The operation kinds list "Виды операций (8)": catalogue of kinds and their picker.
class TForm8 : public CatalogueList
{
    Q_OBJECT
public:
    // The list opens its editor for "Добавить" and "Изменить".
    TForm8(TDataModule6 &dm, TForm9 &editor, QWidget *parent = nullptr);

    QPushButton *Button1;
    QPushButton *Button2;
    QPushButton *Button3;
    QPushButton *Button4;

protected:
    void prepareCatalogue() override;
    void finishPicker() override;
    void add() override;
    void change() override;
    void remove() override;
    std::optional<Choice> currentChoice() const override;

private:
    TForm9 &m_editor;
};
