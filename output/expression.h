#pragma once

#include "output/value.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <stdexcept>

namespace report {

class DataSource;

// A layout that cannot be prepared: a syntax error in an expression, a field the query lacks.
class ReportError : public std::runtime_error
{
public:
    explicit ReportError(const QString &message);
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// The names an expression refers to, shared by all expressions of one layout: fields get a slot
// each (resolved to a column once per run), every sum() its own running total.
class Symbols
{
public:
    // "t_Report.f_sum7" and "f_sum7" are the same field.
    int fieldSlot(const QString &name);
    int newSum() { return m_sumCount++; }
    const QStringList &fields() const { return m_fields; }
    int sumCount() const { return m_sumCount; }

private:
    QStringList m_fields;
    int m_sumCount = 0;
};

// Where an expression is evaluated: a row of the data, the columns of the field slots, the running
// sums and the page being printed.
struct Scope
{
    const DataSource *source = nullptr;
    int row = -1;
    const QVector<int> *columns = nullptr;
    QVector<Decimal> *sums = nullptr;
    int page = 0;
};

struct Node;

// One expression of the report language, parsed once:
//   numbers (1.2), texts ('…', '' for a quote), field names with or without "query.",
//   PAGENUMBER, + - * / (+ also joins texts), = <> < > <= >=, AND OR NOT, parentheses,
//   IF(c, a, b), STR(n), SUM(x).
// Names of functions and keywords ignore case. A division by zero gives an Invalid value, which
// prints as nothing.
class Expression
{
public:
    Expression();
    ~Expression();
    Expression(const Expression &);
    Expression &operator=(const Expression &);
    Expression(Expression &&) noexcept;
    Expression &operator=(Expression &&) noexcept;

    // Throws ReportError naming the expression and the place of a syntax error.
    static Expression parse(const QString &text, Symbols &symbols);

    bool isNull() const { return !m_root; }
    const QString &text() const { return m_text; }
    Value evaluate(const Scope &scope) const;
    // Adds the current row to every sum() of this expression.
    void accumulate(const Scope &scope) const;
    // The running totals of this expression's sum() calls.
    const QVector<int> &sumSlots() const { return m_sumSlots; }

private:
    QString m_text;
    std::shared_ptr<const Node> m_root;
    QVector<const Node *> m_sums;
    QVector<int> m_sumSlots;
};

} // namespace report
