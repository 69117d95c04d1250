#pragma once

#include "db/dataset.h"
#include "ui/modal.h"

#include <QDialog>
#include <QVariant>

class DataGrid;
class QPushButton;
class TDataModule6;
struct GridColumn;

// The norms of one operation, edited in place.
class TForm22 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    explicit TForm22(TDataModule6 &dm, QWidget *parent = nullptr);

    DataGrid *DBGrid1;
    QPushButton *Button1; // "Сохранить": also Enter, Esc and the close box
    QPushButton *Button2; // "Удалить"
    // The whole table accounts_dep.norm, sorted by norma, filtered to the shown operation.
    Dataset norm;

    // Shows the norms of an operation modally; the table stays open with its filter afterwards.
    void showNorms(qint64 operationId, ActivationHandler *opener);
    // The operation whose norms are shown; new norms belong to it.
    qint64 operationId() const { return m_operationId; }

    void FormActivate() override;

    // Saves what is pending, reads the operation list again and closes.
    void Button1Click();
    // Deletes the current norm unless it is the operation's last one; an unsaved new row is
    // dropped. Then reads the norms again.
    void Button2Click();
    // Leaving a cell of a changed row: saves it, then reads the norms again. A new row without
    // its quantity waits until the row itself is left.
    bool DBGrid1ColExit(bool leavingRow);

    // Esc and the close box save like "Сохранить"; the window stays open when that fails. Esc on
    // a new row without its quantity or price drops that row instead.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool writeCell(const GridColumn &column, const QString &text);
    void deleteKeyPressed();
    void escapePressed();
    // The current new row has a quantity and a price, in its cells or typed in the open editor.
    bool newRowComplete() const;
    // Saves a pending row; false (after a message) when it cannot be saved. May raise DbError.
    bool saveRow(bool reread);
    void rereadNorms(const QVariant &currentId);
    bool isStored(const QVariant &id);

    TDataModule6 &m_dm;
    Dataset m_stored;
    qint64 m_operationId = 0;
};
