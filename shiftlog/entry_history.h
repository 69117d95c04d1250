#pragma once

#include <QDialog>
#include <QString>

class DataGrid;
class Dataset;
class DatasetModel;
class QLabel;
class QPushButton;
class TDataModule6;

// The change history of one entry: when, who (the operating-system user, the workstation, the
// role in the program and the database's user), what kind of change and which columns changed
// from what to what. Read only; the database's triggers write it.
class EntryHistory : public QDialog
{
    Q_OBJECT
public:
    // The tables whose entries have a history: shift entries and hour-paid entries.
    static constexpr const char *ShiftEntries = "smena";
    static constexpr const char *HourPaidEntries = "fatigue";

    explicit EntryHistory(TDataModule6 &dm, QWidget *parent = nullptr);
    ~EntryHistory() override;

    DataGrid *DBGrid;
    QPushButton *Button1;
    Dataset *History;
    // Says so when the entry has no recorded change (it was entered before the history was kept).
    QLabel *NoChanges;

    // Lists the changes of the entry, oldest first.
    void load(const QString &table, qint64 entryId);

    static QStringList queryText();

private:
    DatasetModel *m_model = nullptr;
};
