#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// A new spreadsheet workbook filled cell by cell and then handed to the desktop's spreadsheet
// program: the .xlsx file is written in the user's documents folder (or the temporary folder when
// there is none) and opened with the program the desktop associates with .xlsx files.
//
// The calls and results follow the export protocol of the windows: open() gives 1 or -1, a failed
// cell write shows its message, gives -1 and the export goes on with the next cell.
class XlsxExport
{
public:
    // Shows a finished workbook; false when no program could open it.
    using Opener = std::function<bool(const QString &path)>;

    XlsxExport();
    ~XlsxExport();
    XlsxExport(const XlsxExport &) = delete;
    XlsxExport &operator=(const XlsxExport &) = delete;

    // Starts a new, empty workbook with one sheet. The file is created at once; its name says what
    // it holds (the subject, for example "Табель Март 2024") and when it was made. A workbook
    // started earlier and never shown is thrown away. A file that cannot be created shows "Ошибка
    // открытия файла Microsoft Excel." and gives -1.
    int open(const QString &subject = {});
    // Starts a new, empty workbook with one sheet that save() writes to path, replacing a file
    // there (a scheduled job's named output): no name is made up and nothing is opened. A path
    // whose folder does not exist shows "Ошибка открытия файла Microsoft Excel." and gives -1.
    int create(const QString &path);

    // show(false) leaves the workbook as it is (it is being filled). show(true) finishes the file
    // and opens it with the desktop's spreadsheet program; when none can, "Невозможно открыть
    // Microsoft Excel." names the file, which stays. Gives 1, or -1 when the file could not be
    // written. Does nothing when no workbook is being filled.
    int show(bool visible);
    // Finishes the workbook and leaves it in its file, unopened. Gives 1, or -1 when the file
    // could not be written. Does nothing when no workbook is being filled.
    int save();

    // Writes one cell (sheet, column and row count from 1). With textFormat the cell is text with
    // the number format "@"; without it a text that reads as a number (see number()) becomes a
    // number cell, anything else a text cell. With autoFit the column is fitted to the widest text
    // written into it so far. Bold is always set, on or off. An empty text writes nothing and
    // gives 1. A sheet the workbook lacks, or no workbook at all, shows "Ошибочный номер листа
    // Microsoft Excel"; a cell that cannot be written shows "Ошибка Microsoft Excel"; both give -1.
    int writeCell(int sheet, int column, int row, const QString &text, bool textFormat,
                  bool autoFit, bool bold);
    // The value only: no format, no fitting, bold left alone.
    int write(int sheet, int column, int row, const QString &text);

    bool isOpen() const { return m_workbook != nullptr; }
    // The file of the workbook being filled, or of the last one; empty before the first open().
    const QString &fileName() const { return m_fileName; }

    // A text as the spreadsheet reads a typed value: digits with an optional leading minus and at
    // most one decimal separator, either the user's locale separator or a point, no group
    // separators, no blanks ("12,5", "12.5", "-3", ",5"). Anything else is no number.
    static std::optional<double> number(const QString &text);

    // Where new workbooks go: the documents folder when it exists, else the temporary folder.
    static QString defaultFolder();
    // Sends every new workbook into folder (tests); empty goes back to defaultFolder().
    static void setFolder(const QString &folder);
    // Replaces the way finished workbooks are shown (tests); an empty function restores
    // openWithDesktop().
    static void setOpener(Opener opener);
    // Asks the desktop for the program associated with .xlsx files and starts it on the file;
    // false when there is no such program or it cannot be started.
    static bool openWithDesktop(const QString &path);

private:
    struct Column
    {
        double widest = 0;  // character units, every text written so far
        double fitted = -1; // the width the last auto-fit gave, -1 when never fitted
    };

    bool start(const QString &path);
    void discard();
    bool finish();
    void applyWidths();

    lxw_workbook *m_workbook = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_text = nullptr;
    lxw_format *m_bold = nullptr;
    lxw_format *m_textBold = nullptr;
    std::vector<Column> m_columns;
    QString m_fileName;
    // The file was made by open() (a new name), so a workbook thrown away takes it along; a file
    // that create() would replace is left as it was.
    bool m_ownFile = false;
};
