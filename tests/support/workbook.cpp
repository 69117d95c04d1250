#include "support/workbook.h"

#include <QJsonDocument>
#include <QProcess>

OpenerRecorder::OpenerRecorder(bool answer)
{
    XlsxExport::setOpener([this, answer](const QString &path) {
        opened.append(path);
        return answer;
    });
}

OpenerRecorder::~OpenerRecorder()
{
    XlsxExport::setOpener({});
}

namespace {

// What an independent reader (openpyxl) finds in a workbook: the sheet names, every cell present
// in the file ("column,row" → type, value, number format, bold) and the explicit column widths.
const char *const kReader = R"(
import json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
cells = {}
for (row, column), cell in sheet._cells.items():
    cells['%d,%d' % (column, row)] = {'type': cell.data_type, 'value': cell.value,
                                      'format': cell.number_format, 'bold': bool(cell.font.b)}
widths = {}
for dimension in sheet.column_dimensions.values():
    if dimension.customWidth:
        for column in range(dimension.min, dimension.max + 1):
            widths[str(column)] = dimension.width
print(json.dumps({'sheets': book.sheetnames, 'cells': cells, 'widths': widths}))
)";

} // namespace

QJsonObject readBack(const QString &path)
{
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), kReader, path});
    if (!reader.waitForFinished(60000) || reader.exitStatus() != QProcess::NormalExit ||
        reader.exitCode() != 0) {
        qWarning("reading %s failed (python3-openpyxl is needed): %s", qPrintable(path),
                 reader.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
}

QJsonObject cellAt(const QJsonObject &book, int column, int row)
{
    return book.value(QStringLiteral("cells"))
        .toObject()
        .value(QStringLiteral("%1,%2").arg(column).arg(row))
        .toObject();
}

double widthOf(const QJsonObject &book, int column)
{
    return book.value(QStringLiteral("widths"))
        .toObject()
        .value(QString::number(column))
        .toDouble(-1);
}

QString cellText(const QJsonObject &book, int column, int row)
{
    const QJsonValue value = cellAt(book, column, row).value(QStringLiteral("value"));
    if (value.isDouble())
        return QString::number(value.toDouble());
    return value.toString();
}
