#pragma once

#include <functional>

class TDataModule6;

// Rebuilds of a month's monthly rows of accounts_dep.h_tabel from the entries, as the day-by-day
// posting would leave them: one row per key with a value for every day with entries (0 where
// they sum to 0) and nothing on days without. Each rebuild is one transaction holding the month's
// lock, so postings wait for it and a failure leaves the month as it was; two statements per
// month, whatever the number of workers.
namespace rebuild {

// Called as the days of the month are done (with the last day done), e.g. to move a progress bar.
using Progress = std::function<void(int day)>;

// The shift rows (smena 1..4) from accounts_dep.smena; the fatigue rows stay.
void shiftMonth(TDataModule6 &dm, int month, int year, const Progress &progress = {});
// The fatigue rows (smena 0) from accounts_dep.fatigue; the shift rows stay.
void fatigueMonth(TDataModule6 &dm, int month, int year, const Progress &progress = {});

} // namespace rebuild
