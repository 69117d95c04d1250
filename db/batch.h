#pragma once

#include <QList>
#include <QString>

class Connection;
class Dataset;

// What a window shows at one moment, asked in one statement and split on the client: one round
// trip to the server however many queries. Queries with the same columns (the day's shift lists)
// travel as one union; queries with columns of their own each travel as a part of their own, the
// parts joined so that every row of the answer belongs to exactly one query. Each query gets its
// own rows in its own order, as if opened alone.
class Batch
{
public:
    explicit Batch(Connection &connection)
        : m_connection(connection)
    {}

    // Queries whose rows have the same columns.
    Batch &open(const QList<Dataset *> &sameColumns);
    Batch &open(Dataset &query) { return open(QList<Dataset *>{&query}); }
    // Runs the statement and fills every query; a failure leaves them all closed.
    void run();

private:
    Connection &m_connection;
    QList<QList<Dataset *>> m_parts;
};
