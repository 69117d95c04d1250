#pragma once

#include <QString>

// Tooltips read markup in their text (a text that looks like HTML is drawn as HTML): a name from
// the database or a user goes in through here, shown exactly as written, line breaks kept.
// Empty stays empty (no tooltip).
QString plainToolTip(const QString &text);
