#pragma once

#include <QString>

class QTextStream;
class TDataModule6;

// The month-end papers of tabel-report: the form T-13 (PDF or workbook) and the payroll export
// (workbook or CSV). What the windows ask or warn about goes to the error stream: workers without
// a personnel number, working days without hours or mark, a month not yet closed.
namespace monthend {

// False when the file could not be written (the reason is on the error stream or thrown).
bool produce(TDataModule6 &dm, bool t13Form, int month, int year, const QString &department,
             const QString &format, const QString &path, QTextStream &err);

} // namespace monthend
