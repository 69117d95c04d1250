#pragma once

class QCoreApplication;

// Russian locale for numbers and dates (no group separators) and Qt's Russian texts for standard
// buttons and dialogs, whatever the locale the program was started under; the C library formats
// numbers with the point (LC_NUMERIC "C"). Called right after the application object is made.
void setupRussianLocale(QCoreApplication &application);
