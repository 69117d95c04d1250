#include "output/xlsx_export.h"

#include "db/messages.h"
#include "ui/clock.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <clocale>
#include <cmath>
#include <string>

namespace {

const QString kErrorCaption = QStringLiteral("Ошибка");
const QString kCannotCreate = QStringLiteral("Ошибка открытия файла Microsoft Excel.");
const QString kCannotOpen = QStringLiteral("Невозможно открыть Microsoft Excel.");
const QString kSheetCaption = QStringLiteral("Ошибочный номер листа Microsoft Excel");
const QString kCellCaption = QStringLiteral("Ошибка Microsoft Excel");
const QString kXlsxMimeType =
    QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
// A new workbook has one sheet, named as the Russian spreadsheet program names it.
const char *const kSheetName = "Лист1";

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr int kMaxTextLength = 32767;
constexpr double kMaxWidth = 255;

QString s_folder;
XlsxExport::Opener s_opener;

// Width in pixels of a character in the workbook's default font (Calibri 11 at 96 dpi); the digit
// is 7 pixels wide, which is the unit of column widths.
double characterPixels(char16_t c)
{
    if (c < 0x80) {
        static const auto table = [] {
            std::array<unsigned char, 128> widths{};
            widths.fill(7);
            const auto set = [&widths](const char *chars, unsigned char width) {
                for (const char *p = chars; *p; ++p)
                    widths[static_cast<unsigned char>(*p)] = width;
            };
            set("' ", 3);
            set("ijlI,.:;`", 4);
            set("frtJ!()-[]{}", 5);
            set("cszL\"/\\", 6);
            set("bdehnopquBCKPRX", 8);
            set("ADGHUV", 9);
            set("NOQ&", 10);
            set("w%", 11);
            set("mM", 12);
            set("W@", 13);
            return widths;
        }();
        return table[c];
    }
    if (c >= 0x0400 && c <= 0x04FF) {
        switch (c) {
        case u'Ж':
        case u'Ш':
        case u'Щ':
        case u'Ю':
        case u'Ы':
        case u'Ф':
        case u'М':
            return 12;
        case u'ж':
        case u'ш':
        case u'щ':
        case u'ю':
        case u'ы':
        case u'ф':
        case u'м':
            return 10;
        default:
            break;
        }
        const bool upper = (c >= 0x0400 && c <= 0x042F);
        return upper ? 9 : 7.5;
    }
    return 8;
}

// The column width (in characters of the default font) that shows the text whole, as the
// spreadsheet's auto-fit would make it.
double fittedWidth(const QString &text, bool bold)
{
    double pixels = 0;
    for (const QChar c : text)
        pixels += characterPixels(c.unicode());
    if (bold)
        pixels *= 1.1;
    // Cell margins take about one digit's width.
    const double width = std::ceil((pixels + 7) / 7 * 100) / 100;
    return std::min(width, kMaxWidth);
}

QString safeSubject(const QString &subject)
{
    QString result;
    result.reserve(subject.size());
    for (const QChar c : subject) {
        if (c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c))
            result.append(QLatin1Char('_'));
        else
            result.append(c);
    }
    result = result.simplified();
    if (result.startsWith(QLatin1Char('.')))
        result.replace(0, 1, QLatin1Char('_'));
    if (result.isEmpty())
        result = QStringLiteral("Экспорт");
    return result.left(150);
}

// The spreadsheet library writes numbers, widths and margins with printf, which follows the C
// library's LC_NUMERIC: under a Russian one "127,35" lands in the file, and a spreadsheet reads
// 127. The workbook is written under "C" whatever the program's locale, and the locale is put back.
class PointDecimals
{
public:
    PointDecimals()
    {
        if (const char *current = std::setlocale(LC_NUMERIC, nullptr))
            m_saved = current;
        std::setlocale(LC_NUMERIC, "C");
    }
    ~PointDecimals()
    {
        if (!m_saved.empty())
            std::setlocale(LC_NUMERIC, m_saved.c_str());
    }
    PointDecimals(const PointDecimals &) = delete;
    PointDecimals &operator=(const PointDecimals &) = delete;

private:
    std::string m_saved;
};

} // namespace

XlsxExport::XlsxExport() = default;

XlsxExport::~XlsxExport()
{
    discard();
}

QString XlsxExport::defaultFolder()
{
    // Where people look for their files, made when it is missing; never a folder that other users
    // of the workstation can read or clean out.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir().mkpath(documents))
        return documents;
    return QDir::homePath();
}

void XlsxExport::setFolder(const QString &folder)
{
    s_folder = folder;
}

void XlsxExport::setOpener(Opener opener)
{
    s_opener = std::move(opener);
}

bool XlsxExport::openWithDesktop(const QString &path)
{
    // Asked before anything is started, so that "no program" is known for sure.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), kXlsxMimeType});
    if (!query.waitForFinished(5000)) {
        if (query.state() != QProcess::NotRunning) {
            query.kill();
            query.waitForFinished();
        }
        return false;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0 ||
        query.readAllStandardOutput().trimmed().isEmpty())
        return false;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

std::optional<double> XlsxExport::number(const QString &text)
{
    const QString localePoint = QLocale().decimalPoint();
    const QChar separator = localePoint.size() == 1 ? localePoint.at(0) : QLatin1Char('.');
    QString plain;
    plain.reserve(text.size());
    int digits = 0;
    bool seenPoint = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            ++digits;
            plain.append(c);
        } else if (c == QLatin1Char('-') && i == 0) {
            plain.append(c);
        } else if ((c == QLatin1Char('.') || c == separator) && !seenPoint) {
            seenPoint = true;
            plain.append(QLatin1Char('.'));
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

int XlsxExport::open(const QString &subject)
{
    discard();

    const QString folder = s_folder.isEmpty() ? defaultFolder() : s_folder;
    const QString base = safeSubject(subject) + QLatin1Char(' ') +
                         Clock::now().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss"));
    QString path;
    QFile file;
    for (int copy = 1; copy <= 100; ++copy) {
        path = QDir(folder).filePath(base +
                                     (copy > 1 ? QStringLiteral(" (%1)").arg(copy) : QString()) +
                                     QStringLiteral(".xlsx"));
        file.setFileName(path);
        // The name is taken at once, so that two exports never pick the same file.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || !file.exists())
            break;
    }
    if (!file.isOpen()) {
        messages::error(kErrorCaption, kCannotCreate,
                        QDir::toNativeSeparators(path) + QStringLiteral(": ") + file.errorString());
        return -1;
    }
    file.close();
    m_ownFile = true;
    return start(path) ? 1 : -1;
}

int XlsxExport::create(const QString &path)
{
    discard();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        messages::error(kErrorCaption, kCannotCreate, QDir::toNativeSeparators(path));
        return -1;
    }
    m_ownFile = false;
    return start(path) ? 1 : -1;
}

bool XlsxExport::start(const QString &path)
{
    m_workbook = workbook_new(QFile::encodeName(path).constData());
    if (m_workbook)
        m_sheet = workbook_add_worksheet(m_workbook, kSheetName);
    if (!m_workbook || !m_sheet) {
        if (m_workbook)
            lxw_workbook_free(m_workbook);
        m_workbook = nullptr;
        m_sheet = nullptr;
        if (m_ownFile)
            QFile::remove(path);
        messages::error(kErrorCaption, kCannotCreate, QDir::toNativeSeparators(path));
        return false;
    }
    m_text = workbook_add_format(m_workbook);
    format_set_num_format(m_text, "@");
    m_bold = workbook_add_format(m_workbook);
    format_set_bold(m_bold);
    m_textBold = workbook_add_format(m_workbook);
    format_set_num_format(m_textBold, "@");
    format_set_bold(m_textBold);
    m_columns.clear();
    m_fileName = path;
    return true;
}

int XlsxExport::show(bool visible)
{
    if (!visible || !m_workbook)
        return 1;
    if (!finish())
        return -1;
    const Opener &opener = s_opener ? s_opener : Opener(&XlsxExport::openWithDesktop);
    if (!opener(m_fileName)) {
        // The path in the main text, so that the user can find the saved workbook.
        messages::error(kErrorCaption,
                        kCannotOpen + QStringLiteral("\nКнига сохранена в файле %1")
                                          .arg(QDir::toNativeSeparators(m_fileName)));
    }
    return 1;
}

int XlsxExport::save()
{
    if (!m_workbook)
        return 1;
    return finish() ? 1 : -1;
}

int XlsxExport::write(int sheet, int column, int row, const QString &text)
{
    return writeCell(sheet, column, row, text, false, false, false);
}

int XlsxExport::writeCell(int sheet, int column, int row, const QString &text, bool textFormat,
                          bool autoFit, bool bold)
{
    if (text.isEmpty())
        return 1;
    const auto failure = [&](const QString &caption, const QString &detail) {
        messages::error(caption,
                        QStringLiteral("Ошибка при записи: лист %1, столбец %2, строка %3")
                            .arg(sheet)
                            .arg(column)
                            .arg(row),
                        detail);
        return -1;
    };
    if (!m_workbook || sheet != 1)
        return failure(kSheetCaption, {});
    if (column < 1 || column > kMaxColumns || row < 1 || row > kMaxRows)
        return failure(kCellCaption, {});
    if (text.size() > kMaxTextLength)
        return failure(kCellCaption, QStringLiteral("Текст длиннее %1 знаков").arg(kMaxTextLength));

    const auto r = static_cast<lxw_row_t>(row - 1);
    const auto c = static_cast<lxw_col_t>(column - 1);
    lxw_format *format = textFormat ? (bold ? m_textBold : m_text) : (bold ? m_bold : nullptr);
    lxw_error result = LXW_NO_ERROR;
    const std::optional<double> value = textFormat ? std::nullopt : number(text);
    if (value)
        result = worksheet_write_number(m_sheet, r, c, *value, format);
    else
        result = worksheet_write_string(m_sheet, r, c, text.toUtf8().constData(), format);
    if (result != LXW_NO_ERROR)
        return failure(kCellCaption, QString::fromUtf8(lxw_strerror(result)));

    if (m_columns.size() < size_t(column))
        m_columns.resize(size_t(column));
    Column &widths = m_columns[size_t(column - 1)];
    widths.widest = std::max(widths.widest, fittedWidth(text, bold));
    if (autoFit)
        widths.fitted = widths.widest;
    return 1;
}

void XlsxExport::applyWidths()
{
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].fitted > 0) {
            const auto c = static_cast<lxw_col_t>(i);
            worksheet_set_column(m_sheet, c, c, m_columns[i].fitted, nullptr);
        }
    }
}

bool XlsxExport::finish()
{
    applyWidths();
    lxw_error result = LXW_NO_ERROR;
    {
        const PointDecimals pointDecimals;
        result = workbook_close(m_workbook); // frees the workbook in any case
    }
    m_workbook = nullptr;
    m_sheet = nullptr;
    m_text = m_bold = m_textBold = nullptr;
    m_columns.clear();
    if (result != LXW_NO_ERROR) {
        QFile::remove(m_fileName);
        messages::error(kErrorCaption, kCannotCreate,
                        QDir::toNativeSeparators(m_fileName) + QStringLiteral(": ") +
                            QString::fromUtf8(lxw_strerror(result)));
        return false;
    }
    return true;
}

void XlsxExport::discard()
{
    if (!m_workbook)
        return;
    lxw_workbook_free(m_workbook);
    m_workbook = nullptr;
    m_sheet = nullptr;
    m_text = m_bold = m_textBold = nullptr;
    m_columns.clear();
    if (m_ownFile)
        QFile::remove(m_fileName);
}
