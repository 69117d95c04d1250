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

// The statement with every placeholder replaced by the literal of its value. A placeholder without
// a value raises DbError naming it.
QString bindParameters(const QString &statement, const Parameters &parameters);
