#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

#include <optional>

// Pieces of SQL text written from values. Every value that comes from a user or from the database
// goes into a statement through quote() or literal(), directly or as the value of a ":name"
// placeholder of a dataset or command (inlineParameters() in db/statement.h).
namespace sql {

// Whole number in decimal, minus sign when negative, no grouping.
QString integer(qint64 value);
// DD.MM.YYYY
QString dateText(const QDate &date);
// to_date('DD.MM.YYYY', 'DD.MM.YYYY')
QString toDate(const QDate &date);
// Shortest decimal form of the value with a point, no grouping, never an exponent.
QString decimal(double value);
// A text between single quotes with every quote doubled; NUL characters are dropped.
QString quote(const QString &text);
// Any parameter value as an SQL literal: NULL, a number, a quoted date/timestamp in ISO form or a
// text.
QString literal(const QVariant &value);
// Day column of a monthly row: d1 .. d31.
QString dayColumn(int day);

// A decimal number typed by a user: digits with at most one separator, "," or "."; an optional
// leading minus when negatives are allowed. Returns nothing for anything else.
std::optional<double> parseDecimal(const QString &text, bool allowNegative = false);
// The same number as exact decimal text for a numeric column: a point for the separator, "0"
// before a bare separator, no separator at the end. Bound as text, it is stored digit for digit
// (a double keeps only about 16 significant digits).
std::optional<QString> decimalText(const QString &text, bool allowNegative = false);

} // namespace sql
