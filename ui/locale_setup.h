#pragma once

class QCoreApplication;

// Russian locale for numbers and dates (no group separators) and Qt's Russian texts for standard
// buttons and dialogs, whatever the locale the program was started under.
void setupRussianLocale(QCoreApplication &application);
