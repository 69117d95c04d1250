#pragma once

#include "catalogues/catalogue_editor.h"
#include "catalogues/catalogue_list.h"

#include <memory>
#include <optional>

class Dataset;
class PickerBox;
class QCheckBox;
class QComboBox;
class TForm22;
class TForm3;
class TForm8;

// The operation editor: product, operation kind and product kind of one operation.
class TForm10 : public CatalogueEditor
{
    Q_OBJECT
public:
    // The editor picks the product from the product list and the kind from the kind list.
    TForm10(TDataModule6 &dm, TForm3 &products, TForm8 &kinds, QWidget *parent = nullptr);

    QLineEdit *Edit1;
    QPushButton *Button3;
    QLineEdit *Edit2;
    QPushButton *Button4;
    QComboBox *ComboBox1;
    QPushButton *Button1;
    QPushButton *Button2;
    // The product and kind chosen; the operation being changed; the operation a save created.
    qint64 ProductId = 0;
    qint64 KindId = 0;
    qint64 OperationId = 0;
    qint64 NewOperationId = 0;

    void Button3Click();
    void Button4Click();

protected:
    bool save() override;

private:
    TForm3 &m_products;
    TForm8 &m_kinds;
};

// The operation list "Операции": operations with their lowest norm price, their norms, the export
// of the price list, and the operation picker of the shift entry editor.
class TForm4 : public CatalogueList
{
    Q_OBJECT
public:
    // The list opens the operation editor and the norm editor.
    TForm4(TDataModule6 &dm, TForm10 &editor, TForm22 &norms, QWidget *parent = nullptr);
    ~TForm4() override;

    QPushButton *Button1;
    QPushButton *Button2;
    QPushButton *Button3;
    QPushButton *Button5;
    QCheckBox *CheckBox1;
    QPushButton *Button4;
    std::unique_ptr<Dataset> XLS_Rep;

    // What the picker hands to the shift entry editor.
    struct Picked
    {
        qint64 operationId = 0;
        qint64 productId = 0;
        int naimen = 0;
        double basePrice = 0; // the lowest norm price
        QString kind;         // the operation kind's name, trimmed
    };
    // Opens the list as the operation picker on the operation given (the first row when 0) and
    // returns the operation chosen.
    std::optional<Picked> pickOperation(qint64 currentOperation, ActivationHandler *opener);

    void Button5Click();

protected:
    void prepareCatalogue() override;
    void preparePicker(int tag) override;
    void finishPicker() override;
    void gridDoubleClick() override;
    void add() override;
    void change() override;
    void remove() override;
    std::optional<Choice> currentChoice() const override;

private:
    qint64 m_locateOperation = 0;
    mutable std::optional<Picked> m_picked;
    TForm10 &m_editor;
    TForm22 &m_norms;
};
