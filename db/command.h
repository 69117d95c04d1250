#pragma once

#include "db/statement.h"

#include <QString>

class Connection;

// Runs one statement at a time; its text is replaced before each use. Any rows it returns are
// ignored; a failure raises DbError.
class Command
{
public:
    explicit Command(Connection &connection, const QString &text = {});

    void setText(const QString &text) { m_text = text; }
    const QString &text() const { return m_text; }
    void setParam(const QString &name, const QVariant &value) { m_params.set(name, value); }
    // Runs the text with the current parameters; returns the number of rows it touched.
    int execute();
    // Replaces the text and runs it.
    int execute(const QString &text);
    // Runs the text with the current parameters and returns the first value of its first row (a
    // statement ending in "returning id"); null when it gave no row.
    QVariant executeReturning();
    // The same with every value of the first row (empty when it gave no row).
    QVariantList executeReturningRow();

private:
    Connection &m_connection;
    QString m_text;
    Parameters m_params;
};
