#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

// Named parameters of a statement, matched without regard to case and kept until set again.
class Parameters
{
public:
    void set(const QString &name, const QVariant &value);
    QVariant value(const QString &name) const;
    bool contains(const QString &name) const;
    void clear() { m_values.clear(); }

private:
    QHash<QString, QVariant> m_values; // keyed by lower-case name
};

// The names of the ":name" placeholders in a statement, in order of appearance (a name used twice
// appears twice). Quoted texts, quoted identifiers, comments and "::" casts are skipped.
QStringList placeholderNames(const QString &statement);

// The statement with every placeholder replaced by the literal of its value (sql::literal()); a
// placeholder without a value raises DbError naming it. Nothing is bound: QPSQL has no
// out-of-band parameters either. Its "binding" sends PREPARE, then EXECUTE with the values
// written in as literals by the driver, then DEALLOCATE: more round trips, a prepared statement
// that a reconnect loses, and a QDateTime turned into UTC (midnight becomes the previous evening
// when the zones differ). Written in here, a statement is one self-contained text that the
// connection can run again on a new session and that DbError shows with its values.
QString inlineParameters(const QString &statement, const Parameters &parameters);
