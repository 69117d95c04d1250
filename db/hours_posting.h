#pragma once

class TDataModule6;

// The hours of entries reach the monthly rows of accounts_dep.h_tabel by the database itself (the
// posting triggers of db/roles.sql), in the statement that writes the entries. Every posting takes
// the month's advisory lock shared and then the worker's month; what remains for the program is
// the month's lock taken exclusively.
namespace posting {

// The month's lock taken exclusively, for the rebuilds of a whole month: no entry of the month is
// written or posted meanwhile. Waits up to a minute for the writes under way (for the rest of
// the transaction), where a user's action waits a few seconds.
void lockMonth(TDataModule6 &dm, int month, int year);

} // namespace posting
