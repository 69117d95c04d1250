#pragma once

#include "output/prepared_report.h"
#include "output/preview.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

// Stands in for the report preview: every report shown is written as a PDF into a folder and kept
// for the test to read back with poppler's pdftotext, an independent reader.
class PreviewCapture
{
public:
    explicit PreviewCapture(const QString &folder)
        : m_folder(folder)
    {
        report::setPreviewHandler([this](const report::PreparedReport &prepared) {
            const QString path =
                QDir(m_folder).filePath(QStringLiteral("preview_%1.pdf").arg(files.size() + 1));
            prepared.writePdf(path);
            files.append(path);
            titles.append(prepared.title);
        });
    }
    ~PreviewCapture() { report::setPreviewHandler({}); }
    PreviewCapture(const PreviewCapture &) = delete;
    PreviewCapture &operator=(const PreviewCapture &) = delete;

    QStringList files;
    QStringList titles;

private:
    QString m_folder;
};

namespace pdf {

inline QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(program, QString::fromLocal8Bit(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of a PDF as pdftotext lays it out, one string per line, with every run of blanks
// squeezed to one blank and the lines trimmed; empty lines and page breaks dropped.
inline QStringList lines(const QString &path)
{
    const QString text =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    QStringList result;
    static const QRegularExpression blanks(QStringLiteral("[ \\t\\f]+"));
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.replace(blanks, QStringLiteral(" ")).trimmed();
        if (!line.isEmpty())
            result.append(line);
    }
    return result;
}

// Number of pages, as pdfinfo reports it.
inline int pageCount(const QString &path)
{
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// A word of a PDF with its page (from 1) and its box in points from the page's top left corner.
struct Word
{
    int page = 0;
    QString text;
    double xMin = 0;
    double yMin = 0;
    double xMax = 0;
    double yMax = 0;
};

inline QList<Word> words(const QString &path)
{
    const QString html =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    QList<Word> result;
    int page = 0;
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (const QString &line : html.split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("<page ")))
            ++page;
        const QRegularExpressionMatch m = word.match(line);
        if (m.hasMatch())
            result.append({page, m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(),
                           m.captured(3).toDouble(), m.captured(4).toDouble()});
    }
    return result;
}

inline double mm(double points)
{
    return points * 25.4 / 72.0;
}

} // namespace pdf
