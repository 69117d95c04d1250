#pragma once

#include "output/xlsx_export.h"

#include <QJsonObject>
#include <QStringList>

// Takes the finished workbooks instead of starting a program; answers as told.
class OpenerRecorder
{
public:
    explicit OpenerRecorder(bool answer = true);
    ~OpenerRecorder();
    QStringList opened;
};

// What an independent reader (openpyxl) finds in a workbook: the sheet names, every cell present
// in the file ("column,row" → type, value, number format, bold) and the explicit column widths.
QJsonObject readBack(const QString &path);
QJsonObject cellAt(const QJsonObject &book, int column, int row);
double widthOf(const QJsonObject &book, int column);
// The value of a cell as the reader saw it, as text ("" when absent).
QString cellText(const QJsonObject &book, int column, int row);
