#pragma once

#include "ui/dataset_model.h"
#include "ui/modal.h"

#include <QDialog>

#include <memory>
#include <optional>

class DataGrid;
class Dataset;
class QLineEdit;
class QPushButton;
class TDataModule6;

// The list window every catalogue shares: a grid over one query; "Добавить", "Изменить" (or
// "Выбрать" when the list serves another window as a picker), "Удалить", a search box filtering the
// loaded rows as the user types, and "Выход". A catalogue states only what differs.
class CatalogueList : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    enum class Match { StartsWith, Contains };
    enum class SearchKeys { ConsumeAll, OnlyUpDown };
    enum class SearchPlace { BottomBar, UnderGrid };

    struct Design
    {
        QString objectName;
        QString caption;
        QString subject; // accessible name of the grid
        QVector<GridColumn> columns;
        QString searchField;
        Match match = Match::StartsWith;
        SearchKeys searchKeys = SearchKeys::ConsumeAll;
        SearchPlace searchPlace = SearchPlace::BottomBar;
        // A search text of blanks only shows every row.
        bool blankSearchShowsAll = false;
        // Object names of the buttons, in the order they stand.
        QString addName = QStringLiteral("Button1");
        QString changeName = QStringLiteral("Button2");
        QString deleteName = QStringLiteral("Button3");
        QString exitName = QStringLiteral("Button4");
        QString nameField; // the name a picker hands back
        QSize size{640, 420};
    };

    // What a picker hands back to its caller.
    struct Choice
    {
        qint64 id = 0;
        QString name;
    };

    CatalogueList(TDataModule6 &dm, Dataset &list, Design design, QWidget *parent = nullptr);
    // A list over a query of its own.
    CatalogueList(TDataModule6 &dm, std::unique_ptr<Dataset> ownList, Design design,
                  QWidget *parent = nullptr);
    ~CatalogueList() override;

    // 0 in catalogue mode; the caller's number in picker mode.
    int Tag = 0;
    DataGrid *DBGrid1;
    QLineEdit *Edit1;

    Dataset &list() const { return m_list; }
    // Set when the picker closed with a choice; cleared whenever the list is opened as a picker.
    const std::optional<Choice> &choice() const { return m_choice; }

    void FormActivate() override;

    // Opens the list as the catalogue of the main menu, shows it modally and closes it afterwards.
    void runAsCatalogue(ActivationHandler *opener);
    // Opens the list as a picker for a caller (its number goes into Tag) and returns the choice.
    std::optional<Choice> runAsPicker(int tag, ActivationHandler *opener);

    // "Добавить", "Изменить"/"Выбрать", "Удалить" as their buttons run them.
    void addClick();
    void changeClick();
    void deleteClick();

protected:
    QPushButton *addButton() const { return m_add; }
    QPushButton *changeButton() const { return m_change; }
    QPushButton *deleteButton() const { return m_delete; }
    QPushButton *exitButton() const { return m_exit; }

    // Catalogue mode: "Изменить", add and delete shown, "Добавить" the default button.
    void showAsCatalogue();
    // Picker mode for a caller: "Выбрать" as the default button, add and delete hidden.
    void showAsPicker(int tag);

    // Closes and opens the list again, then goes to a record number (clamped to the last row).
    void reopenAt(int recNo);
    // Puts a further command into the bottom bar, after "Удалить".
    void addBarWidget(QWidget *widget);
    // A double-click on the grid; by default "Изменить" or "Выбрать".
    virtual void gridDoubleClick() { changeClick(); }

    // What the callers do before and after showing the list; by default open it with the search
    // text kept (catalogue) or cleared (picker), and close it afterwards.
    virtual void prepareCatalogue();
    virtual void finishCatalogue();
    virtual void preparePicker(int tag);
    virtual void finishPicker();

    virtual void add() = 0;
    virtual void change() = 0;
    virtual void remove() = 0;
    // The picker's choice of the current row; an empty list hands back nothing unless this is
    // overridden.
    virtual std::optional<Choice> currentChoice() const;
    void Edit1Change();

    TDataModule6 &m_dm;

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Puts the tab order in the order the controls stand.
    void orderTabs();

    std::unique_ptr<Dataset> m_ownList;
    Dataset &m_list;
    Design m_design;
    class QHBoxLayout *m_bar = nullptr;
    QPushButton *m_add;
    QPushButton *m_change;
    QPushButton *m_delete;
    QPushButton *m_exit;
    std::optional<Choice> m_choice;
};
