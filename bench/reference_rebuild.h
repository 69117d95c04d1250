#pragma once

#include <QString>

class TDataModule6;

// The month rebuilds as a statement-by-statement sequence writes them: a query per day, then for
// every row of it a count and an update or an insert, each statement on its own. The yardstick
// the set-based rebuilds are measured against; both must leave identical rows.
namespace reference {

void shiftMonth(TDataModule6 &dm, int month, int year);
void fatigueMonth(TDataModule6 &dm, int month, int year);

// Every monthly row of the family (smena>0 or smena=0) of the month as one text, in key order.
QString snapshot(TDataModule6 &dm, const QString &family, int month, int year);

} // namespace reference
