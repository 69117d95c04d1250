#pragma once

#include "db/change_feed.h"
#include "db/command.h"
#include "db/connection.h"
#include "db/dataset.h"

#include <QObject>
#include <QString>

#include <functional>

// The data module: the one connection of the program with the shared queries and commands that the
// windows use. One instance is built at start-up and handed to every window.
class TDataModule6 : public QObject
{
    Q_OBJECT
public:
    explicit TDataModule6(QObject *parent = nullptr);
    ~TDataModule6() override;

    Connection ADO_DB;
    // What other copies write, for the open lists to follow (listening starts with start()).
    ChangeFeed Changes{ADO_DB};

    Dataset Control{ADO_DB};
    Command DelSmena{ADO_DB};
    Command H_Tabel_ins{ADO_DB};
    Command SQL_exec{ADO_DB};
    Command Oper_ins{ADO_DB};
    Command Oper_ed{ADO_DB};
    Command Oper_del{ADO_DB, QStringLiteral("delete from accounts_dep.oper where id=:id")};

    Dataset Workers{ADO_DB};
    Dataset Izdel{ADO_DB};
    Dataset Oper{ADO_DB};
    Dataset Vid_oper{ADO_DB};
    Dataset Smena1{ADO_DB};
    Dataset Smena2{ADO_DB};
    Dataset Smena3{ADO_DB};
    Dataset Smena4{ADO_DB};
    Dataset H_Tabel_1{ADO_DB};
    Dataset H_Tabel_2{ADO_DB};
    Dataset H_Tabel_3{ADO_DB};

    // Decimal separator written into number texts by FixDecimal; loaded by the version check.
    QString DecimalDelimiter;

    // Runs a count statement (a column "cnt") through Control; above 0 shows the message (caption
    // "Ошибка") and returns true.
    bool CheckCount(const QString &sql, const QString &message = {});
    // Replaces the first "," (or, when there is none, the first ".") by DecimalDelimiter.
    QString FixDecimal(const QString &text) const;

    // Runs one statement through Control and returns the named column of its first row as an
    // integer (0 when there is no row or the value is null).
    qint64 scalar(const QString &sql, const QString &field);
    // Reads the columns of the row of the relation with this id through Control and locks it until
    // the transaction ends, so that no other copy changes or deletes it meanwhile; false (and read
    // not called) when the row is gone.
    bool lockRow(const QString &relation, const QString &columns, qint64 id,
                 const std::function<void(const Dataset &row)> &read);

    // The shift query of a shift number (1..4; anything else is shift 1).
    Dataset &shiftQuery(int shiftNo);
    // The timesheet query of a shift tab (1..3).
    Dataset &timesheetQuery(int shift);

    static QStringList shiftQueryText(int shiftNo);
    static QStringList timesheetQueryText(int shift);
    static QStringList operationListText();
    // The catalogue's operation list: also the operations without norms (count 0, no price), so
    // their norms can be added.
    static QStringList operationCatalogueText();
};
