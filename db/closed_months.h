#pragma once

#include <QString>

class Dataset;
class TDataModule6;

// Months closed for changes once they are paid. The database refuses every write to the entries
// and monthly rows of a closed month (SQLSTATE RefusedState, the sentence of refusal() as its
// text); the windows ask here to say so before the user starts.
namespace closedmonths {

// The server's error code of a write refused because its month is closed.
inline const QString RefusedState = QStringLiteral("TB001");

bool isClosed(TDataModule6 &dm, int month, int year);
// The same read with a window's other queries (db/batch.h): the query to open, then the answer.
void askClosed(Dataset &query, int month, int year);
bool closedFrom(Dataset &query);
// Closes the month once the entry writes and postings running in it have ended (a month rebuild
// waits the same way); closing a closed month changes nothing.
void close(TDataModule6 &dm, int month, int year);
// Opens the month again; opening an open month changes nothing.
void open(TDataModule6 &dm, int month, int year);

// A timesheet window's caption for a month: "(закрыт)" after it when the month is closed.
QString caption(const QString &caption, bool closed);

// "Ноябрь 2026 закрыт для изменений; изменения не записаны."
QString refusal(int month, int year);

} // namespace closedmonths
