#pragma once

#include <QDate>
#include <QString>

class Command;
class TDataModule6;

// The writes of shift entries that the shift log and the entry editor make: each is one statement,
// and the database posts the hours of the days it touches with it, working on the entry as it is
// stored at that moment (another copy may have changed it since the window read it).
namespace shiftentries {

struct Entry
{
    qint64 workerId = 0;
    qint64 productId = 0;
    qint64 operationId = 0;
    double price = 0; // stored rounded to 4 decimals
    qint64 pieces = 0;
    qint64 rejects = 0;
    QDate day;
    int shift = 1;
    qint64 colour = 0;
    qint64 hours = 0;
};

// Writes a new entry (id 0, not accepted) or changes entry id (its acceptance stays) through the
// command, with today as its entry date, and posts the hours of its day; a change that moves the
// entry to another worker, day or shift re-posts the day it left. Returns the entry's id, or 0,
// writing nothing, when the same entry (worker, operation, product, day, shift, colour) is already
// stored. A change of an entry that another copy deleted raises DbError::rowDeleted().
qint64 save(Command &command, const Entry &entry, qint64 id, const QDate &today);

// What a checked save found, and whether it wrote.
struct Checked
{
    qint64 savedId = 0;     // the entry's id when written, else 0
    qint64 sameEntries = 0; // other entries of the same worker, operation, product, day, shift
                            // and colour
    qint64 otherHours = 0;  // the worker's hours of the day in his other entries
};
// The duplicate check, the worker's other hours of the day and the save, in one statement: the
// entry is written when no same entry is stored and, unless maxDayHours is negative, the day's
// hours with the entry's stay within maxDayHours. Raises DbError::rowDeleted() as save() does.
Checked saveChecked(Command &command, const Entry &entry, qint64 id, const QDate &today,
                    int maxDayHours);

// Deletes an entry and re-posts the day it was on. False when it was gone already.
bool remove(TDataModule6 &dm, qint64 id);

// The shift log's acceptance command: sets `ok` of one entry ("ok" accepted, "no" not).
QString acceptanceStatement();
void setAcceptance(Command &command, qint64 id, const QString &ok);

} // namespace shiftentries
