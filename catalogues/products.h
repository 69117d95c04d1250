#pragma once

#include "catalogues/catalogue_editor.h"
#include "catalogues/catalogue_list.h"

#include <memory>

class Dataset;
class LookupCombo;

// The product editor: mark, boxes factor ("Расценка") and nomenclature group.
class TForm7 : public CatalogueEditor
{
    Q_OBJECT
public:
    explicit TForm7(TDataModule6 &dm, QWidget *parent = nullptr);
    ~TForm7() override;

    QLineEdit *Edit1;
    QLineEdit *Edit2;
    LookupCombo *cb_item;
    QPushButton *Button1;
    QPushButton *Button2;
    // The product being changed (the list's current row).
    qint64 ProductId = 0;

    // The group table of the lookup: opened while the editor is shown.
    void openGroups();
    void closeGroups();

protected:
    bool save() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<Dataset> m_groups;
};

// The product list "Изделия (3)": catalogue of products and their picker.
class TForm3 : public CatalogueList
{
    Q_OBJECT
public:
    // The list opens its editor for "Добавить" and "Изменить".
    TForm3(TDataModule6 &dm, TForm7 &editor, QWidget *parent = nullptr);
    ~TForm3() override;

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

private:
    std::unique_ptr<Dataset> Izdel_Smena;
    std::unique_ptr<Dataset> ii_oper;
    std::unique_ptr<Dataset> ii_massa;
    TForm7 &m_editor;
};
