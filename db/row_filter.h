#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

// A client-side restriction of fetched rows: conditions "field = value", "field <> value" and
// "field like pattern" (with % for any text) joined by "and". Texts compare without regard to case.
class RowFilter
{
public:
    enum class Op { Equal, NotEqual, Like, StartsWith, Contains };
    struct Condition
    {
        QString field;
        Op op;
        QVariant value; // a number or a text
    };

    RowFilter() = default;
    // Parses an expression written by the program, e.g. "i_id<>7777 and naimen=0". Raises DbError
    // on a syntax error.
    static RowFilter parse(const QString &expression);
    // One "like" condition; the pattern is a value and never read as expression syntax.
    static RowFilter like(const QString &field, const QString &pattern);
    static RowFilter equal(const QString &field, const QVariant &value);
    // A typed search text: matched literally (no wildcards), without regard to case, "е" and "ё"
    // alike.
    static RowFilter startsWith(const QString &field, const QString &text);
    static RowFilter contains(const QString &field, const QString &text);
    static RowFilter compare(const QString &field, Op op, const QVariant &value);

    RowFilter &andAlso(const RowFilter &other);
    const QVector<Condition> &conditions() const { return m_conditions; }
    bool isEmpty() const { return m_conditions.isEmpty(); }

    // fieldValue returns the row's value of a field (by name).
    bool accepts(const std::function<QVariant(const QString &)> &fieldValue) const;

    static bool likeMatches(const QString &text, const QString &pattern);
    // A text as typed searches compare it: case-folded, "ё" read as "е".
    static QString searchText(const QString &text);

private:
    QVector<Condition> m_conditions;
};
