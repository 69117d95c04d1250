#pragma once

#include <QString>

#include <functional>

class TDataModule6;

// A delete that the foreign keys refuse (SQLSTATE 23503), told as one sentence a clerk can act on:
// what still holds the row and how many, counted when the refusal happens. The server's own text
// goes along as the detail.
namespace refusal {

// The row a delete is for, and so what can hold it.
enum class Row {
    Worker,           // entries of the shift log
    Operation,        // entries of the shift log
    Kind,             // operations of the price list
    Product,          // its operations (its prices kept)
    ProductPrices,    // entries using the product's operations (the product kept)
    ProductElsewhere, // entries of other products using the product's operations
};

// Runs the statements of one delete in one transaction (the caller's when there is one); when a
// foreign key refuses it, raises DbError with the sentence about the row instead of the server's
// text (which becomes the detail).
void deleteRows(TDataModule6 &dm, Row row, qint64 id, const std::function<void()> &work);

// The sentence about a row held by other rows, counting them now (outside a failed transaction).
QString sentence(TDataModule6 &dm, Row row, qint64 id);

// "1 позиция", "2 позиции", "5 позиций": the form of a noun after a number.
QString counted(qint64 count, const QString &one, const QString &few, const QString &many);

} // namespace refusal
