#pragma once

#include <QComboBox>

#include <optional>

class Dataset;

// A drop-down list bound to a table: shows one field of each row, keyed by another. Nothing is
// selected until the user or the program picks a row; a selection survives reloads of the table.
// The mouse wheel turns it only while it has the focus.
class LookupCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit LookupCombo(QWidget *parent = nullptr);

    // Fills the list from the rows of an open dataset.
    void load(const Dataset &rows, const QString &keyField, const QString &displayField);
    // The key of the selection; nothing when none was ever made, 0 when set to a missing key.
    std::optional<qint64> keyValue() const { return m_key; }
    void setKeyValue(qint64 key);
    // The key of the first row of the list (0 when the list is empty).
    qint64 firstKey() const;
    // The text shown (empty when nothing is selected).
    QString shownText() const { return currentIndex() >= 0 ? currentText() : QString(); }

protected:
    void wheelEvent(QWheelEvent *event) override;

private:
    std::optional<qint64> m_key;
};
