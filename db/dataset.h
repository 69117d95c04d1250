#pragma once

#include "db/row_filter.h"
#include "db/statement.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

class Connection;

// The rows of one statement, fetched at once, with a current record, a client-side filter and, when
// opened on one table, editing of the current row by its key.
class Dataset : public QObject
{
    Q_OBJECT
public:
    enum class State { Browse, Edit, Insert };

    explicit Dataset(Connection &connection, QObject *parent = nullptr);

    // Statement: lines joined with line breaks; ":name" declares a parameter.
    QString sql() const { return m_lines.join(QLatin1Char('\n')); }
    const QStringList &lines() const { return m_lines; }
    void setSql(const QString &text);
    void setSql(const QStringList &lines);
    // Parameters keep their values across close and open; names ignore case.
    void setParam(const QString &name, const QVariant &value) { m_params.set(name, value); }
    QVariant param(const QString &name) const { return m_params.value(name); }

    void open();
    void close();
    // Reads the rows again and stays on the record that was current, found by its key (the table's
    // key column, else "id") when it is still listed; otherwise on the first row.
    void reopen();
    bool isOpen() const { return m_open; }
    // "select * from relation"; the rows can then be edited by their key column.
    void openTable(const QString &relation, const QString &keyField = QStringLiteral("id"));
    // A query whose rows come from one table: they can be edited by their key like a table's.
    void setEditTable(const QString &relation, const QString &keyField = QStringLiteral("id"));

    // Records of the rows passing the filter, numbered 1..n; 0 when there is none.
    int recordCount() const { return int(m_visible.size()); }
    bool isEmpty() const { return m_visible.isEmpty(); }
    int recNo() const { return m_current + 1; }
    // Goes to a record number, clamped to 1..recordCount().
    void setRecNo(int recNo);
    void first() { setRecNo(1); }
    void last() { setRecNo(recordCount()); }
    void next();
    void prior();
    // True after next() has stepped past the last record, or when there is none.
    bool eof() const { return m_eof || m_visible.isEmpty(); }

    // Fields of the current record by name (ignoring case, with or without "table."); a name the
    // result lacks raises DbError. Nulls read as "", 0, 0 and an invalid date.
    QStringList fieldNames() const { return m_fieldNames; }
    bool hasField(const QString &name) const { return columnOf(name) >= 0; }
    int columnOf(const QString &name) const;
    QVariant value(const QString &name) const;
    bool isNull(const QString &name) const { return value(name).isNull(); }
    QString text(const QString &name) const;
    qint64 integer(const QString &name) const;
    double decimal(const QString &name) const;
    QDate date(const QString &name) const;

    // Values of a visible row (0-based) for grids.
    QVariant valueAt(int row, int column) const;
    QString textAt(int row, int column) const;
    static QString textOf(const QVariant &value);

    // Client-side filter; switching it on or off moves to the first passing record.
    void setFilter(const QString &expression) { setFilter(RowFilter::parse(expression)); }
    void setFilter(const RowFilter &filter);
    const RowFilter &filter() const { return m_filter; }
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }
    // Goes to the first passing record whose field equals the value; false (staying put) if none.
    bool locate(const QString &field, const QVariant &value);
    // Keeps the rows ordered by a field on the client (empty: the statement's order), kept across
    // close and open; the current record stays current. Numbers sort as numbers, dates as dates,
    // texts in Russian alphabetical order without regard to case, "ё" as "е"; empty values first
    // (last in descending order); equal values keep the statement's order.
    void setSortField(const QString &field, Qt::SortOrder order = Qt::AscendingOrder);
    const QString &sortField() const { return m_sortField; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // Editing of a table opened with openTable().
    State state() const { return m_state; }
    void edit();
    void append();
    void setValue(const QString &name, const QVariant &value);
    bool isModified() const { return !m_changed.isEmpty(); }
    void post();
    void cancel();
    void remove();

Q_SIGNALS:
    // The rows, their order or the filter changed: views show them anew.
    void rowsReset();
    void currentChanged(int recNo);
    void rowChanged(int row);

private:
    friend class Batch;
    // The statement open() runs, its parameters in place; the dataset is no longer a whole table.
    QString statementText();
    void fetch(const QString &statement);
    void take(const QStringList &names, const QList<QMetaType> &types,
              QVector<QVector<QVariant>> rows);
    void rebuildVisible(qsizetype keepRow);
    void sortVisible(int column);
    const QVector<QVariant> *currentRow() const;
    bool passes(const QVector<QVariant> &row) const;
    void requireTable() const;
    void setCurrent(int index);
    [[noreturn]] void missingField(const QString &name) const;

    Connection &m_connection;
    QStringList m_lines;
    Parameters m_params;
    bool m_open = false;

    QStringList m_fieldNames;
    QVector<QMetaType> m_fieldTypes;
    QVector<QVector<QVariant>> m_rows;
    QVector<qsizetype> m_visible; // indices into m_rows, in display order
    int m_current = -1;           // index into m_visible
    bool m_eof = false;

    RowFilter m_filter;
    bool m_filtered = false;
    QString m_sortField;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;

    QString m_relation;
    QString m_keyField;
    bool m_wholeTable = false;
    State m_state = State::Browse;
    QVector<QVariant> m_buffer;
    QVector<int> m_changed;
};
