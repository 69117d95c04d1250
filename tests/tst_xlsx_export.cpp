#include "output/export_progress.h"
#include "output/xlsx_export.h"
#include "support/recorders.h"
#include "support/test_main.h"
#include "support/workbook.h"
#include "ui/busy.h"
#include "ui/clock.h"
#include "ui/locale_setup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <clocale>
#include <cmath>
#include <string>

namespace {

const QString kSheetCaption = QStringLiteral("Ошибочный номер листа Microsoft Excel");
const QString kCellCaption = QStringLiteral("Ошибка Microsoft Excel");
constexpr double kDefaultWidth = 8.43;

} // namespace

// The spreadsheet export: cells as the spreadsheet reads them, the file, its messages, and the
// progress caption of the export buttons.
class TestXlsxExport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        QVERIFY(m_dir.isValid());
        XlsxExport::setFolder(m_dir.path());
        Clock::set(QDateTime(QDate(2024, 3, 5), QTime(14, 30, 15)));
    }
    void cleanupTestCase()
    {
        XlsxExport::setFolder({});
        Clock::set({});
    }
    // Day hours and totals reach the sheet as the windows show them ("12,5" in Russian); they
    // must become numbers so that the office can sum them, while names and codes stay text.
    void number_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("value");
        QTest::newRow("integer") << "ru_RU"
                                 << "8" << true << 8.0;
        QTest::newRow("locale comma") << "ru_RU"
                                      << "12,5" << true << 12.5;
        QTest::newRow("point") << "ru_RU"
                               << "12.5" << true << 12.5;
        QTest::newRow("negative") << "ru_RU"
                                  << "-3,25" << true << -3.25;
        QTest::newRow("leading separator") << "ru_RU"
                                           << ",5" << true << 0.5;
        QTest::newRow("zero") << "ru_RU"
                              << "0" << true << 0.0;
        QTest::newRow("group separator") << "ru_RU"
                                         << "1 234,5" << false << 0.0;
        QTest::newRow("no-break group separator") << "ru_RU"
                                                  << "1\u00a0234" << false << 0.0;
        QTest::newRow("two separators") << "ru_RU"
                                        << "1.2.3" << false << 0.0;
        QTest::newRow("comma and point") << "ru_RU"
                                         << "1,2.3" << false << 0.0;
        QTest::newRow("exponent") << "ru_RU"
                                  << "1e5" << false << 0.0;
        QTest::newRow("plus sign") << "ru_RU"
                                   << "+5" << false << 0.0;
        QTest::newRow("blank around") << "ru_RU"
                                      << " 12" << false << 0.0;
        QTest::newRow("minus alone") << "ru_RU"
                                     << "-" << false << 0.0;
        QTest::newRow("separator alone") << "ru_RU"
                                         << "," << false << 0.0;
        QTest::newRow("inner minus") << "ru_RU"
                                     << "12-5" << false << 0.0;
        QTest::newRow("name") << "ru_RU"
                              << "Иванов И.И." << false << 0.0;
        QTest::newRow("point locale takes the point") << "en_US"
                                                      << "12.5" << true << 12.5;
        QTest::newRow("point locale: comma is no decimal") << "en_US"
                                                           << "12,5" << false << 0.0;
    }
    void number()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, isNumber);
        QFETCH(double, value);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const std::optional<double> parsed = XlsxExport::number(text);
        QLocale::setDefault(saved);
        QCOMPARE(parsed.has_value(), isNumber);
        if (isNumber)
            QCOMPARE(*parsed, value);
    }

    // One cell as an independent reader sees it: text format gives text with "@", a number read
    // from the text without it, bold on or off, and an empty text no cell at all.
    void cells_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("textFormat");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QString>("type"); // "" when the cell is absent
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("format");

        QTest::newRow("name, text format, bold")
            << "Фамилия И.О." << true << true << "s" << QVariant("Фамилия И.О.") << "@";
        QTest::newRow("digits in text format stay text")
            << "8" << true << false << "s" << QVariant("8") << "@";
        QTest::newRow("decimal in text format stays text")
            << "12,5" << true << true << "s" << QVariant("12,5") << "@";
        QTest::newRow("whole number")
            << "31" << false << true << "n" << QVariant(31.0) << "General";
        QTest::newRow("locale decimal")
            << "12,5" << false << false << "n" << QVariant(12.5) << "General";
        QTest::newRow("point decimal")
            << "0.75" << false << false << "n" << QVariant(0.75) << "General";
        QTest::newRow("negative") << "-4" << false << false << "n" << QVariant(-4.0) << "General";
        QTest::newRow("text without format")
            << "Итого (ч.)" << false << true << "s" << QVariant("Итого (ч.)") << "General";
        QTest::newRow("grouped number stays text")
            << "1 234" << false << false << "s" << QVariant("1 234") << "General";
        QTest::newRow("empty text, text format, bold")
            << "" << true << true << "" << QVariant() << "";
        QTest::newRow("empty text") << "" << false << false << "" << QVariant() << "";
    }
    void cells()
    {
        QFETCH(QString, text);
        QFETCH(bool, textFormat);
        QFETCH(bool, bold);
        QFETCH(QString, type);
        QFETCH(QVariant, value);
        QFETCH(QString, format);

        MessageRecorder messages;
        OpenerRecorder opener;
        XlsxExport xlsx;
        QCOMPARE(xlsx.open(QStringLiteral("Ячейка")), 1);
        QCOMPARE(xlsx.writeCell(1, 3, 2, text, textFormat, false, bold), 1);
        // A neighbour, so that the sheet is never empty.
        QCOMPARE(xlsx.write(1, 1, 1, QStringLiteral("Соседняя")), 1);
        QCOMPARE(xlsx.show(true), 1);
        QCOMPARE(messages.shown.size(), 0);

        const QJsonObject book = readBack(xlsx.fileName());
        QVERIFY(!book.isEmpty());
        QCOMPARE(cellAt(book, 1, 1).value(QStringLiteral("value")).toString(),
                 QStringLiteral("Соседняя"));
        const QJsonObject cell = cellAt(book, 3, 2);
        if (type.isEmpty()) {
            QVERIFY2(cell.isEmpty(), "an empty text must leave no cell behind");
            return;
        }
        QCOMPARE(cell.value(QStringLiteral("type")).toString(), type);
        if (type == QLatin1String("n"))
            QCOMPARE(cell.value(QStringLiteral("value")).toDouble(), value.toDouble());
        else
            QCOMPARE(cell.value(QStringLiteral("value")).toString(), value.toString());
        QCOMPARE(cell.value(QStringLiteral("format")).toString(), format);
        QCOMPARE(cell.value(QStringLiteral("bold")).toBool(), bold);
    }

    // A Russian desktop: the C library's numbers take a decimal comma there, and a workbook
    // written with it read 127,35 as 127 and lost its column widths. Whatever the locale the
    // export runs under, the independent reader finds the kopecks and the fitted widths.
    void kopecksUnderRussianLocale_data()
    {
        QTest::addColumn<bool>("afterSetup");
        // The exporter alone, with the C library left Russian as the application object sets it
        // from the environment; and the program's own start-up, which must put the point back.
        QTest::newRow("exporter under ru_RU") << false;
        QTest::newRow("after the program's locale setup") << true;
    }
    void kopecksUnderRussianLocale()
    {
        QFETCH(bool, afterSetup);
        const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        const auto restore = qScopeGuard([&] { std::setlocale(LC_NUMERIC, saved.c_str()); });
        QVERIFY2(std::setlocale(LC_NUMERIC, "ru_RU.UTF-8"),
                 "the ru_RU.UTF-8 locale is missing (scripts/deps makes it)");
        QCOMPARE(std::localeconv()->decimal_point, ",");
        if (afterSetup) {
            setupRussianLocale(*QCoreApplication::instance());
            QCOMPARE(std::localeconv()->decimal_point, ".");
        }

        MessageRecorder messages;
        OpenerRecorder opener;
        XlsxExport xlsx;
        QCOMPARE(xlsx.open(QStringLiteral("Копейки")), 1);
        QCOMPARE(xlsx.writeCell(1, 1, 1, QStringLiteral("Щербаков-Жуковский Ёжеф Юрьевич"), true,
                                true, false),
                 1);
        QCOMPARE(xlsx.writeCell(1, 2, 1, QStringLiteral("127,35"), false, true, false), 1);
        QCOMPARE(xlsx.writeCell(1, 3, 1, QStringLiteral("36213.25"), false, true, false), 1);
        QCOMPARE(xlsx.writeCell(1, 4, 1, QStringLiteral("-0,01"), false, true, false), 1);
        QCOMPARE(xlsx.show(true), 1);
        QCOMPARE(messages.shown.size(), 0);
        if (!afterSetup)
            QCOMPARE(std::localeconv()->decimal_point, ","); // the caller's locale is put back

        const QJsonObject book = readBack(xlsx.fileName());
        QVERIFY2(!book.isEmpty(), "the reader refused the workbook");
        QCOMPARE(cellAt(book, 2, 1).value(QStringLiteral("value")).toDouble(), 127.35);
        QCOMPARE(cellAt(book, 3, 1).value(QStringLiteral("value")).toDouble(), 36213.25);
        QCOMPARE(cellAt(book, 4, 1).value(QStringLiteral("value")).toDouble(), -0.01);
        const double nameWidth = widthOf(book, 1);
        QVERIFY2(nameWidth > kDefaultWidth && nameWidth != std::floor(nameWidth),
                 qPrintable(QString::number(nameWidth)));

        // The file's own text: no decimal comma in a number, a width or a margin.
        QProcess unzip;
        unzip.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-c"),
                     QStringLiteral("import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                                    "print(z.read('xl/worksheets/sheet1.xml').decode())"),
                     xlsx.fileName()});
        QVERIFY(unzip.waitForFinished(60000));
        const QString sheetXml = QString::fromUtf8(unzip.readAllStandardOutput());
        QVERIFY(sheetXml.contains(QLatin1String("<v>127.35</v>")));
        static const QRegularExpression decimalComma(QStringLiteral("=\"-?\\d+,\\d+\"|<v>-?\\d+,"));
        QVERIFY2(!sheetXml.contains(decimalComma), qPrintable(sheetXml.left(2000)));
    }

    // The timesheet header and rows: fitted columns take the width of their widest text (a long
    // name widens, one-digit days narrow below the default), a column written without auto-fit
    // keeps the default width, and Cyrillic names come out as written.
    void autoFitAndCyrillic()
    {
        MessageRecorder messages;
        OpenerRecorder opener;
        XlsxExport xlsx;
        QCOMPARE(xlsx.open(QStringLiteral("Табель Март 2024")), 1);
        const QString longName = QStringLiteral("Щербаков-Жуковский Ёжеф Юрьевич");
        QCOMPARE(xlsx.writeCell(1, 1, 1, QStringLiteral("Март 2024"), true, true, true), 1);
        QCOMPARE(xlsx.writeCell(1, 1, 2, QStringLiteral("Фамилия И.О."), true, true, true), 1);
        QCOMPARE(xlsx.writeCell(1, 1, 3, longName, true, true, false), 1);
        QCOMPARE(xlsx.writeCell(1, 1, 4, QStringLiteral("Ли А.Б."), true, true, false), 1);
        QCOMPARE(xlsx.writeCell(1, 2, 2, QStringLiteral("1"), false, true, true), 1);
        QCOMPARE(xlsx.writeCell(1, 2, 3, QStringLiteral("8"), false, true, false), 1);
        QCOMPARE(xlsx.writeCell(1, 3, 2, QStringLiteral("Фамилия И.О."), true, true, true), 1);
        QCOMPARE(xlsx.write(1, 4, 3, longName), 1);
        QCOMPARE(xlsx.show(true), 1);
        QCOMPARE(messages.shown.size(), 0);

        const QJsonObject book = readBack(xlsx.fileName());
        QVERIFY(!book.isEmpty());
        QCOMPARE(book.value(QStringLiteral("sheets")).toArray(),
                 QJsonArray{QStringLiteral("Лист1")});
        QCOMPARE(cellAt(book, 1, 3).value(QStringLiteral("value")).toString(), longName);
        QCOMPARE(cellAt(book, 1, 1).value(QStringLiteral("value")).toString(),
                 QStringLiteral("Март 2024"));

        const double nameColumn = widthOf(book, 1);
        const double dayColumn = widthOf(book, 2);
        const double headerColumn = widthOf(book, 3);
        QVERIFY2(nameColumn > kDefaultWidth, qPrintable(QString::number(nameColumn)));
        QVERIFY2(nameColumn > headerColumn, "the longest name decides the width");
        QVERIFY2(headerColumn > kDefaultWidth, qPrintable(QString::number(headerColumn)));
        QVERIFY2(dayColumn > 0 && dayColumn < kDefaultWidth,
                 qPrintable(QString::number(dayColumn)));
        QCOMPARE(widthOf(book, 4), -1.0); // never fitted: the default width
    }

    // A folder the file cannot be created in: the message, -1, and the export stops with nothing
    // left behind (a write afterwards finds no sheet).
    void openFailure_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("missing folder") << m_dir.filePath(QStringLiteral("нет такой папки"));
        QTest::newRow("folder is a file") << m_dir.filePath(QStringLiteral("file.txt/sub"));
    }
    void openFailure()
    {
        QFETCH(QString, folder);
        QFile plain(m_dir.filePath(QStringLiteral("file.txt")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();

        MessageRecorder messages;
        OpenerRecorder opener;
        XlsxExport::setFolder(folder);
        XlsxExport xlsx;
        const int result = xlsx.open(QStringLiteral("Табель"));
        XlsxExport::setFolder(m_dir.path());
        QCOMPARE(result, -1);
        QVERIFY(!xlsx.isOpen());
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(messages.shown[0].text, QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        QVERIFY(messages.shown[0].detail.contains(QDir::toNativeSeparators(folder)));

        messages.clear();
        QCOMPARE(xlsx.writeCell(1, 1, 1, QStringLiteral("x"), true, true, true), -1);
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown[0].caption, kSheetCaption);
        QCOMPARE(xlsx.show(true), 1);
        QVERIFY(opener.opened.isEmpty());
    }

    // A cell that cannot be written shows its message and gives -1; the export goes on and the
    // cells written afterwards are in the file.
    void writeFailures_data()
    {
        QTest::addColumn<int>("sheet");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("caption");
        QTest::newRow("second sheet") << 2 << 1 << 1 << 1 << kSheetCaption;
        QTest::newRow("sheet zero") << 0 << 4 << 7 << 1 << kSheetCaption;
        QTest::newRow("column zero") << 1 << 0 << 3 << 1 << kCellCaption;
        QTest::newRow("row zero") << 1 << 2 << 0 << 1 << kCellCaption;
        QTest::newRow("past the last column") << 1 << 16385 << 1 << 1 << kCellCaption;
        QTest::newRow("past the last row") << 1 << 1 << 1048577 << 1 << kCellCaption;
        QTest::newRow("text too long for a cell") << 1 << 2 << 2 << 40000 << kCellCaption;
    }
    void writeFailures()
    {
        QFETCH(int, sheet);
        QFETCH(int, column);
        QFETCH(int, row);
        QFETCH(int, length);
        QFETCH(QString, caption);

        MessageRecorder messages;
        OpenerRecorder opener;
        XlsxExport xlsx;
        QCOMPARE(xlsx.open(QStringLiteral("Ошибки")), 1);
        QCOMPARE(xlsx.writeCell(sheet, column, row, QString(length, QChar(u'ж')), true, true, true),
                 -1);
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown[0].caption, caption);
        QCOMPARE(messages.shown[0].text, QStringLiteral("Ошибка при записи: лист %1, столбец %2, "
                                                        "строка %3")
                                             .arg(sheet)
                                             .arg(column)
                                             .arg(row));
        QCOMPARE(xlsx.writeCell(1, 5, 5, QStringLiteral("дальше"), false, false, false), 1);
        QCOMPARE(xlsx.show(true), 1);
        QCOMPARE(messages.shown.size(), 1);

        const QJsonObject book = readBack(xlsx.fileName());
        QCOMPARE(book.value(QStringLiteral("cells")).toObject().keys(), QStringList{"5,5"});
    }

    // Writing needs a workbook being filled: before open() and after show(true) there is no sheet.
    void writeWithoutWorkbook()
    {
        MessageRecorder messages;
        OpenerRecorder opener;
        XlsxExport xlsx;
        QCOMPARE(xlsx.write(1, 1, 1, QStringLiteral("a")), -1);
        QCOMPARE(xlsx.open(), 1);
        QCOMPARE(xlsx.write(1, 1, 1, QStringLiteral("a")), 1);
        QCOMPARE(xlsx.show(true), 1);
        QCOMPARE(xlsx.write(1, 1, 2, QStringLiteral("b")), -1);
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(messages.shown[0].caption, kSheetCaption);
        QCOMPARE(messages.shown[1].caption, kSheetCaption);
        QCOMPARE(messages.shown[1].text,
                 QStringLiteral("Ошибка при записи: лист 1, столбец 1, строка 2"));
    }

    // Hiding while filling does nothing; showing finishes the file and hands it to the opener
    // once; a second show has nothing more to do.
    void show()
    {
        MessageRecorder messages;
        OpenerRecorder opener;
        XlsxExport xlsx;
        QCOMPARE(xlsx.open(QStringLiteral("Операции")), 1);
        QCOMPARE(xlsx.show(false), 1);
        QCOMPARE(xlsx.write(1, 1, 1, QStringLiteral("Марка")), 1);
        QCOMPARE(xlsx.show(false), 1);
        QVERIFY(opener.opened.isEmpty());
        QVERIFY(xlsx.isOpen());

        QCOMPARE(xlsx.show(true), 1);
        QCOMPARE(opener.opened, QStringList{xlsx.fileName()});
        QVERIFY(!xlsx.isOpen());
        QCOMPARE(xlsx.show(true), 1);
        QCOMPARE(opener.opened.size(), 1);
        QCOMPARE(messages.shown.size(), 0);
        QCOMPARE(cellAt(readBack(xlsx.fileName()), 1, 1).value(QStringLiteral("value")).toString(),
                 QStringLiteral("Марка"));
    }

    // No program can open the finished file: the message names the file, and the file stays.
    void showWithoutProgram()
    {
        MessageRecorder messages;
        OpenerRecorder opener(false);
        XlsxExport xlsx;
        QCOMPARE(xlsx.open(QStringLiteral("Сводка")), 1);
        QCOMPARE(xlsx.write(1, 2, 3, QStringLiteral("Коробки")), 1);
        QCOMPARE(xlsx.show(true), 1);
        QCOMPARE(opener.opened.size(), 1);
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(messages.shown[0].text, QStringLiteral("Невозможно открыть Microsoft Excel.\n"
                                                        "Книга сохранена в файле ") +
                                             QDir::toNativeSeparators(xlsx.fileName()));
        QVERIFY(QFile::exists(xlsx.fileName()));
        QCOMPARE(cellAt(readBack(xlsx.fileName()), 2, 3).value(QStringLiteral("value")).toString(),
                 QStringLiteral("Коробки"));
    }

    // A workbook written to a named file (a scheduled job's output): saved there without being
    // opened, replacing an older file; a workbook thrown away before saving leaves the older file
    // as it was; a folder that does not exist is refused with the usual message.
    void namedFile()
    {
        MessageRecorder messages;
        OpenerRecorder opener;
        const QString path = m_dir.filePath(QStringLiteral("сводка.xlsx"));
        {
            XlsxExport xlsx;
            QCOMPARE(xlsx.create(path), 1);
            QCOMPARE(xlsx.write(1, 1, 1, QStringLiteral("первая")), 1);
            QCOMPARE(xlsx.save(), 1);
            QVERIFY(!xlsx.isOpen());
            QCOMPARE(xlsx.save(), 1);
        }
        {
            XlsxExport xlsx;
            QCOMPARE(xlsx.create(path), 1);
            QCOMPARE(xlsx.write(1, 1, 1, QStringLiteral("брошенная")), 1);
        }
        QCOMPARE(cellText(readBack(path), 1, 1), QStringLiteral("первая"));
        {
            XlsxExport xlsx;
            QCOMPARE(xlsx.create(path), 1);
            QCOMPARE(xlsx.write(1, 2, 1, QStringLiteral("12,5")), 1);
            QCOMPARE(xlsx.save(), 1);
        }
        const QJsonObject book = readBack(path);
        QCOMPARE(cellText(book, 1, 1), QString());
        QCOMPARE(cellAt(book, 2, 1).value(QStringLiteral("type")).toString(), QStringLiteral("n"));
        QVERIFY(opener.opened.isEmpty());
        QCOMPARE(messages.shown.size(), 0);

        XlsxExport xlsx;
        const QString missing = m_dir.filePath(QStringLiteral("нет такой папки/сводка.xlsx"));
        QCOMPARE(xlsx.create(missing), -1);
        QVERIFY(!xlsx.isOpen());
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Ошибка открытия файла Microsoft Excel.")});
        QVERIFY(messages.shown[0].detail.contains(QDir::toNativeSeparators(missing)));
    }

    // The name says what the file holds and when it was made; characters a file name cannot hold
    // are replaced; two exports in the same second get two files; a workbook never shown leaves
    // no file behind.
    void fileNames()
    {
        MessageRecorder messages;
        OpenerRecorder opener;
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        XlsxExport::setFolder(folder.path());
        const auto restore = qScopeGuard([this] { XlsxExport::setFolder(m_dir.path()); });
        const QDir dir(folder.path());
        {
            XlsxExport first;
            QCOMPARE(first.open(QStringLiteral("Табель: Март/2024")), 1);
            QCOMPARE(first.fileName(),
                     dir.filePath(QStringLiteral("Табель_ Март_2024 2024-03-05 14.30.15.xlsx")));
            QCOMPARE(first.show(true), 1);

            XlsxExport second;
            QCOMPARE(second.open(QStringLiteral("Табель: Март/2024")), 1);
            QCOMPARE(second.fileName(), dir.filePath(QStringLiteral(
                                            "Табель_ Март_2024 2024-03-05 14.30.15 (2).xlsx")));
            QCOMPARE(second.show(true), 1);
            QVERIFY(QFile::exists(first.fileName()));
        }

        XlsxExport unshown;
        QCOMPARE(unshown.open(), 1);
        const QString abandoned = unshown.fileName();
        QCOMPARE(QFileInfo(abandoned).fileName(),
                 QStringLiteral("Экспорт 2024-03-05 14.30.15.xlsx"));
        QVERIFY(QFile::exists(abandoned));
        QCOMPARE(unshown.open(QStringLiteral("Снова")), 1);
        QVERIFY2(!QFile::exists(abandoned), "a new workbook throws the unshown one away");
        const QString second = unshown.fileName();
        QString dropped;
        {
            XlsxExport gone;
            QCOMPARE(gone.open(QStringLiteral("Брошенный")), 1);
            dropped = gone.fileName();
            QVERIFY(QFile::exists(dropped));
        }
        QVERIFY2(!QFile::exists(dropped), "an export that ends unshown leaves no file");
        QCOMPARE(unshown.show(true), 1);
        QVERIFY(QFile::exists(second));
        QCOMPARE(messages.shown.size(), 0);
    }

    // Workbooks go to the documents folder, made when it is missing; never to the shared temporary
    // folder.
    void defaultFolder()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QByteArray savedHome = qgetenv("HOME");
        const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
        const QString withoutDocuments = XlsxExport::defaultFolder();
        const bool made = QFileInfo(home.filePath(QStringLiteral("Documents"))).isDir();
        const QString withDocuments = XlsxExport::defaultFolder();
        qputenv("HOME", savedHome);
        if (savedConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", savedConfig);

        QCOMPARE(withoutDocuments, home.filePath(QStringLiteral("Documents")));
        QVERIFY(made);
        QCOMPARE(withDocuments, withoutDocuments);
    }

    // The caption counts in plain numbers whatever the locale (no group separator in 20 000).
    void progressCaption_data()
    {
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("caption");
        QTest::newRow("before the first row") << 0 << 25 << "Excel (0 из 25)";
        QTest::newRow("empty export") << 0 << 0 << "Excel (0 из 0)";
        QTest::newRow("last row") << 25 << 25 << "Excel (25 из 25)";
        QTest::newRow("large counts") << 12345 << 20000 << "Excel (12345 из 20000)";
    }
    void progressCaption()
    {
        QFETCH(int, written);
        QFETCH(int, total);
        QFETCH(QString, caption);
        QCOMPARE(ExportProgress::caption(written, total), caption);
    }

    // During an export the window takes no commands and cannot be closed, the program is busy,
    // and the button shows each row's count, painted by the last row at the latest. Afterwards
    // everything is as before except the caption, which keeps its last count.
    void progressDuringExport()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *edit = new QLineEdit(&window);
        auto *excel = new QPushButton(QStringLiteral("Excel"), &window);
        auto *other = new QPushButton(QStringLiteral("Обновить"), &window);
        auto *locked = new QPushButton(QStringLiteral("Перестроить"), &window);
        locked->setEnabled(false);
        layout->addWidget(edit);
        layout->addWidget(excel);
        layout->addWidget(other);
        layout->addWidget(locked);
        int clicks = 0;
        connect(other, &QPushButton::clicked, this, [&clicks] { ++clicks; });
        int paints = 0;
        QString paintedCaption;
        PaintSpy spy([&] {
            ++paints;
            paintedCaption = excel->text();
        });
        excel->installEventFilter(&spy);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        QCOMPARE(QApplication::focusWidget(), edit);

        {
            ExportProgress progress(*excel, 3);
            QCOMPARE(excel->text(), QStringLiteral("Excel (0 из 3)"));
            QCOMPARE(paintedCaption, QStringLiteral("Excel (0 из 3)"));
            QVERIFY(BusyScope::active());
            QVERIFY(!window.isEnabled());
            QVERIFY(!other->isEnabled());
            QTest::mouseClick(other, Qt::LeftButton);
            QCOMPARE(clicks, 0);
            QVERIFY(!window.close());
            QVERIFY(window.isVisible());

            for (int row = 1; row <= 3; ++row) {
                progress.rowWritten();
                QCOMPARE(excel->text(), QStringLiteral("Excel (%1 из 3)").arg(row));
            }
            QCOMPARE(progress.written(), 3);
            QCOMPARE(paintedCaption, QStringLiteral("Excel (3 из 3)"));
        }

        QVERIFY(!BusyScope::active());
        QVERIFY(window.isEnabled());
        QVERIFY(other->isEnabled());
        QVERIFY2(!locked->isEnabled(), "a command disabled before stays disabled");
        QCOMPARE(excel->text(), QStringLiteral("Excel (3 из 3)"));
        QCOMPARE(QApplication::focusWidget(), edit);
        QTest::mouseClick(other, Qt::LeftButton);
        QCOMPARE(clicks, 1);
        QVERIFY(paints >= 2);
        QVERIFY(window.close());
    }

private:
    class PaintSpy : public QObject
    {
    public:
        explicit PaintSpy(std::function<void()> painted)
            : m_painted(std::move(painted))
        {}
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                m_painted();
            return QObject::eventFilter(watched, event);
        }

    private:
        std::function<void()> m_painted;
    };

    QTemporaryDir m_dir;
};

TABEL_TEST_MAIN(TestXlsxExport)
#include "tst_xlsx_export.moc"
