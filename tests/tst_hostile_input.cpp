#include "app/forms.h"
#include "app/login_dialog.h"
#include "catalogues/nomenclature_groups.h"
#include "catalogues/norm_editor.h"
#include "catalogues/operation_kinds.h"
#include "catalogues/operation_prices.h"
#include "catalogues/products.h"
#include "catalogues/workers.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/sql_text.h"
#include "shiftlog/shift_entry_editor.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/running_program.h"
#include "support/seed.h"
#include "support/shown_text.h"
#include "support/test_database.h"
#include "support/test_main.h"
#include "timesheets/hour_paid_entries.h"
#include "timesheets/hour_paid_writes.h"
#include "ui/clock.h"
#include "ui/data_grid.h"
#include "ui/error_guard.h"
#include "ui/locale_setup.h"
#include "ui/lookup_combo.h"
#include "ui/message_boxes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>

namespace {

// Careless and hostile texts as users type or paste them.
struct Input
{
    const char *name;
    QString text;
};

QList<Input> inputs()
{
    return {
        {"quote", QStringLiteral("O'Brien Д.")},
        {"double quotes", QStringLiteral("Ателье \"Заря\"")},
        {"backslashes", QStringLiteral("C:\\путь\\n\\")},
        {"percent and underscore", QStringLiteral("100%_план")},
        {"semicolons", QStringLiteral("a; b;; c;")},
        {"statement", QStringLiteral("'); drop table accounts_dep.smena; --")},
        {"always true", QStringLiteral("x' or '1'='1")},
        {"dollar quoting", QStringLiteral("$$; delete from accounts_dep.person; $$")},
        {"placeholders", QStringLiteral(":fio, :id")},
        {"Cyrillic in mixed case", QStringLiteral("ИвАнОв пЁтр ЁЛКИН")},
        {"blanks around", QStringLiteral("   Сидоров С.С.   ")},
        {"blanks only", QStringLiteral("     ")},
        {"tab and line breaks", QStringLiteral("\tСтрока\nвторая\r\n")},
        {"control characters", QStringLiteral("\x01Код\x07")},
        {"emoji", QStringLiteral("Смена 😀👍🏽")},
        {"longer than any column", QString(300, QChar(u'Ж'))},
        {"emoji across the column's end", QString(253, QChar(u'ж')) + QStringLiteral("😀хвост")},
        {"empty", QString()},
        {"digits", QStringLiteral("42")},
        {"zero", QStringLiteral("0")},
        {"digits with blanks", QStringLiteral(" 7 ")},
        {"negative", QStringLiteral("-5")},
        {"decimal comma", QStringLiteral("12,5")},
        {"decimal point", QStringLiteral("0.25")},
        {"two separators", QStringLiteral("1.2.3")},
        {"exponent", QStringLiteral("1e5")},
        {"beyond integer", QStringLiteral("2147483648")},
        {"beyond bigint", QStringLiteral("99999999999999999999")},
        {"four hundred digits", QString(400, QChar(u'9'))},
        {"digits and letters", QStringLiteral("12abc")},
        {"grouped thousands", QStringLiteral("1 000")},
        {"other scripts' digits", QStringLiteral("١٢٣ １２")},
    };
}

// What a box holds, and so what it must do with a text.
enum class Kind { Text, Whole, Decimal };
// What a box left blank (or blanks only) gives. A grid cell left empty writes nothing; blanks
// typed into it may be refused (NullOrRefused).
enum class Blank { Refused, StoredEmpty, StoredNull, NullOrRefused };

// A box of an editor, and where a save puts what it holds: one new row of a table.
struct Box
{
    QString window;
    QString box; // the line edit's objectName; for a grid, the column's field
    Kind kind;
    Blank blank;
    QString table;
    QString column;
    // Text: the characters the column holds. Numbers: the largest value the box is for.
    double most;
    double least = 0;
    // Tables that a save may change besides its own (mirrors, monthly rows).
    QStringList follows = {};
};

QList<Box> boxes()
{
    const QString person = QStringLiteral("accounts_dep.person");
    const QString goods = QStringLiteral("cmn_gds_and_srv.gds_and_srv");
    const QString smena = QStringLiteral("accounts_dep.smena");
    const QString norm = QStringLiteral("accounts_dep.norm");
    const QStringList mirror{QStringLiteral("cmn_contractor.person")};
    const QStringList monthly{QStringLiteral("accounts_dep.h_tabel")};
    const double integerMax = 2147483647;
    return {
        {"TForm2", "Edit1", Kind::Text, Blank::Refused, person, "fio", 254, 0, mirror},
        {"TForm7", "Edit1", Kind::Text, Blank::Refused, goods, "s_caption", 254},
        {"TForm7", "Edit2", Kind::Decimal, Blank::Refused, goods, "massa", 1e300},
        {"TForm9", "Edit1", Kind::Text, Blank::Refused, "accounts_dep.vid_oper", "vid", 128},
        // An empty group name is saved as it is.
        {"TForm29", "Edit1", Kind::Text, Blank::StoredEmpty, "cmn_classifier.item", "s_caption",
         254},
        // Pieces and colour take nine digits, rejects and hours four, all within their columns.
        {"TForm11", "Edit3", Kind::Whole, Blank::Refused, smena, "kol_vo", 999999999, 0, monthly},
        {"TForm11", "Edit4", Kind::Whole, Blank::Refused, smena, "brak", 9999, 0, monthly},
        {"TForm11", "Edit5", Kind::Whole, Blank::Refused, smena, "color", 999999999, 0, monthly},
        {"TForm11", "Edit6", Kind::Whole, Blank::Refused, smena, "time", 9999, 0, monthly},
        {"TForm24", "Edit6", Kind::Whole, Blank::Refused, "accounts_dep.fatigue", "cnt",
         hourpaid::MaxHours, 1, monthly},
        {"TForm22", "norma", Kind::Whole, Blank::Refused, norm, "norma", integerMax},
        {"TForm22", "price", Kind::Decimal, Blank::NullOrRefused, norm, "price", 1e300},
        // No bonus: the cell left empty stores nothing.
        {"TForm22", "prize", Kind::Whole, Blank::StoredNull, norm, "prize", integerMax},
    };
}

// Every table the program knows; a statement changed by a typed text would empty or drop one.
const QStringList &allTables()
{
    static const QStringList tables{
        QStringLiteral("accounts_dep.person"),         QStringLiteral("accounts_dep.vid_oper"),
        QStringLiteral("accounts_dep.oper"),           QStringLiteral("accounts_dep.norm"),
        QStringLiteral("accounts_dep.smena"),          QStringLiteral("accounts_dep.h_tabel"),
        QStringLiteral("accounts_dep.fatigue"),        QStringLiteral("accounts_dep.ver"),
        QStringLiteral("cmn_gds_and_srv.gds_and_srv"), QStringLiteral("cmn_classifier.item"),
        QStringLiteral("cmn_contractor.person"),       QStringLiteral("cmn_department.department"),
        QStringLiteral("hrms_staffpos.staffpos"),      QStringLiteral("adm_role.roles")};
    return tables;
}

// The text without halves of characters (a surrogate without its partner).
QString wholeCharacters(const QString &text)
{
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result += c;
            result += text.at(++i);
        } else if (!c.isSurrogate()) {
            result += c;
        }
    }
    return result;
}

bool isDigits(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(text).hasMatch();
}

// A decimal number as users write it: digits with one "," or "." at most.
std::optional<double> decimalOf(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[0-9]+([.,][0-9]*)?$|^[.,][0-9]+$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    const double value = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// The number a box for numbers holds when its text is in its range.
std::optional<double> numberOf(const Box &box, const QString &text)
{
    std::optional<double> value;
    if (box.kind == Kind::Decimal)
        value = decimalOf(text);
    else if (isDigits(text))
        value = text.toDouble();
    if (value && *value >= box.least && *value <= box.most)
        return value;
    return std::nullopt;
}

// What a save of a box may do with a text.
struct Expected
{
    bool mayRefuse = false;
    std::optional<QVariant> stores; // the value a save stores, null for nothing
};

Expected expectedFor(const Box &box, const QString &input, const QString &shown, int maxLength)
{
    if (box.kind == Kind::Text) {
        // What fits the column, in whole characters, trimmed.
        const QString kept = wholeCharacters(input.left(qsizetype(box.most))).trimmed();
        if (!kept.isEmpty())
            return {false, QVariant(kept)};
        if (box.blank == Blank::StoredEmpty)
            return {false, QVariant(QString())};
        return {true, std::nullopt};
    }
    const QString trimmed = input.trimmed();
    if (trimmed.isEmpty()) {
        if (box.blank == Blank::StoredNull)
            return {false, QVariant()};
        if (box.blank == Blank::NullOrRefused)
            return {true, QVariant()};
        return {true, std::nullopt};
    }
    // A plain number in the box's range is taken as typed.
    if (input == trimmed && input.size() <= maxLength) {
        if (const auto value = numberOf(box, input))
            return {false, QVariant(*value)};
    }
    Expected expected{true, std::nullopt};
    // A number with blanks around may be taken trimmed or refused by a box for digits only.
    if (const auto value = numberOf(box, trimmed))
        expected.stores = QVariant(*value);
    // A number longer than its box shows cut to what the box takes, so the user sees what a save
    // will store.
    if (input.size() > maxLength && shown == input.left(maxLength)) {
        if (const auto value = numberOf(box, shown))
            expected.stores = QVariant(*value);
    }
    return expected;
}

bool sameValue(const Box &box, const QVariant &stored, const QVariant &expected)
{
    if (expected.isNull() || stored.isNull())
        return expected.isNull() && stored.isNull();
    if (box.kind == Kind::Text)
        return stored.toString() == expected.toString();
    const double a = stored.toDouble();
    const double b = expected.toDouble();
    return std::abs(a - b) <= 1e-12 * std::max(1.0, std::abs(b));
}

// A message carrying a failure of the database or of the data layer rather than a refusal that
// the window words itself: the server's "ERROR:" (or its Russian) with the SQLSTATE at the end,
// or the data layer's own texts about statements and fields.
bool looksLikeDatabaseError(const messages::Message &message)
{
    static const QRegularExpression server(QStringLiteral(
        "(^|\\n)\\s*(ERROR|FATAL|PANIC|ОШИБКА|ВАЖНО|ПАНИКА):|\\(\\s*[0-9A-Z]{5}\\s*\\)"
        "\\s*$|QPSQL"));
    static const QRegularExpression layer(
        QStringLiteral("не задан|не найдено|условии фильтра|не открыт для изменения|Нет записи для "
                       "изменения|Транзакция отменена|Нет подключения"));
    const QString all = message.text + QLatin1Char('\n') + message.detail;
    return server.match(all).hasMatch() || layer.match(all).hasMatch();
}

QString describe(const QList<messages::Message> &shown)
{
    QStringList lines;
    for (const messages::Message &message : shown)
        lines << message.caption + QStringLiteral(": ") + message.text + message.detail;
    return lines.join(QLatin1String(" | "));
}

// Shortens long texts for failure messages.
QString brief(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("<null>");
    const QString text = value.toString();
    return text.size() > 60 ? text.left(30) + QStringLiteral("…(%1)").arg(text.size()) : text;
}

// A paste from the clipboard: the way a text gets past the key filters of a box.
void paste(QLineEdit *box, const QString &text)
{
    box->clear();
    QApplication::clipboard()->setText(text);
    box->paste();
}

} // namespace

// Hostile and careless input, typed into every box of every editor of the running program: each
// text is stored exactly as the window stores it (trimmed where it trims, cut only where the box
// shows the cut) or refused with one clear message; no database error reaches the user, no
// statement changes its meaning, no table loses a row. The lists' search boxes and the login box
// take the same texts.
class TestHostileInput : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setupRussianLocale(*QCoreApplication::instance());
        Clock::set(QDateTime(m_today, QTime(9, 0)));
        m_db = std::make_unique<TestDatabase>(QStringLiteral("hostile_input"));
        m_check = m_db->connect();
        TDataModule6 &dm = *m_check;
        m_worker = seed::worker(dm, QStringLiteral("Иванов И.И."));
        m_group = TestDatabase::scalar(dm, QStringLiteral("insert into cmn_classifier.item("
                                                          "s_caption) values ('Крышки') "
                                                          "returning id"));
        const qint64 product = seed::product(dm, QStringLiteral("ТП-120"));
        m_paint =
            seed::operation(dm, seed::kind(dm, QStringLiteral("Окраска краска")), product, 0, {20});
        m_bare = seed::operation(dm, seed::kind(dm, QStringLiteral("Сборка")), product, 0, {});
        // Rows whose names hold what the inputs hold, for the search boxes: each a little longer
        // than an input (an editor must not find it a duplicate of a typed name), and one that
        // "%" and "_" would find if they were wildcards.
        for (const QString &name :
             {QStringLiteral("O'Brien Д. и сын"), QStringLiteral("Ателье \"Заря\" 2"),
              QStringLiteral("C:\\путь\\n\\ 2"), QStringLiteral("100%_план 2"),
              QStringLiteral("100 -план 2"), QStringLiteral("Иванов Пётр Ёлкин 2"),
              QStringLiteral("a; b;; c; 2"), QStringLiteral("Смена 😀👍🏽 2")}) {
            seed::worker(dm, name);
            const qint64 mark = seed::product(dm, name);
            seed::operation(dm, seed::kind(dm, name), mark, 1, {5});
            TestDatabase::exec(dm, QStringLiteral("insert into cmn_classifier.item(s_caption) "
                                                  "values (%1)")
                                       .arg(sql::quote(name)));
        }
        m_program = std::make_unique<RunningProgram>(*m_db);
        QVERIFY(m_program->started());
        TForm1 &main = m_program->mainWindow();
        main.applyRole(Role::Full);
        for (int shift = 1; shift <= 4; ++shift)
            m_program->dataModule().shiftQuery(shift).setParam(QStringLiteral("ok"),
                                                               QStringLiteral("ta"));
        main.ShiftNo = 1;
        main.FormActivate();
    }
    void cleanupTestCase()
    {
        m_program.reset();
        m_check.reset();
        m_db.reset();
        Clock::set({});
    }

    // A name with markup in it reaches a message (the server's sentence, a typed text): every kind
    // of box shows it as written, in its text and in its detail, never drawn as rich text.
    void markupInMessages_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("error") << int(messages::Kind::Error);
        QTest::newRow("question") << int(messages::Kind::Question);
        QTest::newRow("information") << int(messages::Kind::Information);
    }
    void markupInMessages()
    {
        QFETCH(int, kind);
        messages::setHandler(&messages::messageBoxes());
        const auto restore = qScopeGuard([] { messages::setHandler(nullptr); });
        QString shown;
        Qt::TextFormat format = Qt::RichText;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            if (label) {
                shown = label->text();
                format = label->textFormat();
            }
            box->reject();
        });
        poll.start();
        const QString text =
            QStringLiteral("Работник ") + markupName() + QStringLiteral(" не удалён.");
        switch (messages::Kind(kind)) {
        case messages::Kind::Error:
            messages::error(QStringLiteral("Ошибка"), text, markupName());
            break;
        case messages::Kind::Question:
            messages::question(text);
            break;
        case messages::Kind::Information:
            messages::information(QStringLiteral("Предупреждение"), text);
            break;
        }
        QCOMPARE(shown, text);
        QCOMPARE(format, Qt::PlainText);
    }

    void editorBoxes_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("input");
        const QList<Box> all = boxes();
        for (int b = 0; b < all.size(); ++b) {
            for (const Input &input : inputs()) {
                QTest::addRow("%s.%s %s", qPrintable(all.at(b).window), qPrintable(all.at(b).box),
                              input.name)
                    << b << input.text;
            }
        }
    }
    void editorBoxes()
    {
        QFETCH(int, box);
        QFETCH(QString, input);
        const Box target = boxes().at(box);
        const qint64 baseline = maxId(target.table);
        const QList<qint64> before = tableCounts();
        QCOMPARE(before.size(), allTables().size());

        // Hours that make the worker's day longer than 24 are asked about first; answered "Да",
        // the value goes on as typed.
        const bool dayHours =
            target.window == QLatin1String("TForm11") && target.box == QLatin1String("Edit6");
        MessageRecorder recorder;
        recorder.answers.fill(dayHours, 10);
        QString shown;
        int maxLength = 0;
        bool reached = false;
        {
            ModalScript modal([&](QDialog &dialog) {
                if (dialog.objectName() != target.window) {
                    along(dialog, target.window);
                    return;
                }
                reached = true;
                dialog.show();
                fillValid(dialog, target.box);
                enter(dialog, target.box, input, shown, maxLength);
                dialog.findChild<QPushButton *>(QStringLiteral("Button1"))->click();
                dialog.hide();
            });
            open(target.window);
        }
        QVERIFY2(reached, qPrintable(target.window));

        // What was stored: the box's column of the rows the save added.
        QSqlQuery rows =
            m_check->ADO_DB.run(QStringLiteral("select %1 from %2 where id > %3 order by id")
                                    .arg(target.column, target.table, sql::integer(baseline)));
        QVariantList stored;
        while (rows.next())
            stored.append(rows.value(0));
        const QList<qint64> after = tableCounts();
        QCOMPARE(after.size(), before.size());
        if (dayHours)
            recorder.shown.removeIf([](const messages::Message &message) {
                return message.kind == messages::Kind::Question &&
                       message.caption == QStringLiteral("Часы за день");
            });
        m_check->ADO_DB.run(QStringLiteral("delete from %1 where id > %2")
                                .arg(target.table, sql::integer(baseline)));

        for (const messages::Message &message : recorder.shown)
            QVERIFY2(!looksLikeDatabaseError(message), qPrintable(describe(recorder.shown)));
        QVERIFY2(stored.size() <= 1, qPrintable(QString::number(stored.size())));
        for (int t = 0; t < allTables().size(); ++t) {
            const QString &table = allTables().at(t);
            if (table == target.table)
                QVERIFY2(after.at(t) - before.at(t) == stored.size(), qPrintable(table));
            else if (!target.follows.contains(table))
                QVERIFY2(after.at(t) == before.at(t), qPrintable(table));
        }

        const Expected expected = expectedFor(target, input, shown, maxLength);
        const QVariant value = stored.isEmpty() ? QVariant() : stored.first();
        if (!recorder.shown.isEmpty()) {
            // Refused: one clear message, and nothing of the text stored.
            QVERIFY2(expected.mayRefuse,
                     qPrintable(QStringLiteral("refused: ") + describe(recorder.shown)));
            QCOMPARE(recorder.shown.size(), 1);
            const messages::Message &message = recorder.shown.first();
            QVERIFY(message.kind == messages::Kind::Error);
            QCOMPARE(message.caption, QStringLiteral("Ошибка"));
            QVERIFY2(message.text.contains(QRegularExpression(QStringLiteral("[А-Яа-яЁё]"))),
                     qPrintable(message.text));
            QVERIFY2(value.isNull(), qPrintable(brief(value)));
            return;
        }
        QVERIFY2(expected.stores.has_value(),
                 qPrintable(QStringLiteral("stored without a word: ") + brief(value)));
        QVERIFY2(target.kind != Kind::Text || !stored.isEmpty(), "nothing stored");
        QVERIFY2(sameValue(target, value, *expected.stores),
                 qPrintable(QStringLiteral("stored «%1», expected «%2», box showed «%3»")
                                .arg(brief(value), brief(*expected.stores), brief(shown))));
    }

    // The search boxes filter the loaded rows by the typed text taken literally ("%" and "_"
    // included), without regard to case; no text breaks the filter or shows a message.
    void searchBoxes_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("input");
        // The row name is built here rather than by addRow's format: at -O3 GCC 12 takes the
        // window names for possibly null and warns (-Wformat-overflow).
        for (const char *list : {"TForm5", "TForm3", "TForm4", "TForm8", "TForm26"}) {
            const QString window = QString::fromUtf8(list);
            for (const Input &input : inputs())
                QTest::newRow(qPrintable(window + QLatin1Char(' ') + QLatin1String(input.name)))
                    << window << input.text;
        }
    }
    void searchBoxes()
    {
        QFETCH(QString, list);
        QFETCH(QString, input);
        MessageRecorder recorder;
        bool reached = false;
        {
            ModalScript modal([&](QDialog &dialog) {
                if (dialog.objectName() != list)
                    return;
                reached = true;
                auto &window = static_cast<CatalogueList &>(dialog);
                const auto &design = searchOf(list);
                window.Edit1->clear();
                Dataset &rows = window.list();
                const int field = rows.columnOf(design.first);
                QStringList all;
                for (int row = 0; row < rows.recordCount(); ++row)
                    all << rows.textAt(row, field);
                QVERIFY(!all.isEmpty());

                paste(window.Edit1, input);
                const QString typed = window.Edit1->text();
                QCOMPARE(typed, input);
                const bool contains = design.second;
                QStringList wanted;
                for (const QString &value : all) {
                    const bool passes =
                        contains ? typed.trimmed().isEmpty() ||
                                       value.contains(typed, Qt::CaseInsensitive)
                                 : typed.isEmpty() || value.startsWith(typed, Qt::CaseInsensitive);
                    if (passes)
                        wanted << value;
                }
                QStringList shown;
                for (int row = 0; row < rows.recordCount(); ++row)
                    shown << rows.textAt(row, field);
                QCOMPARE(shown, wanted);
                window.Edit1->clear();
            });
            if (list == QLatin1String("TForm8"))
                m_program->forms().Form10.Button4Click();
            else
                open(list);
        }
        QVERIFY(reached);
        QCOMPARE(recorder.described(), QStringList());
    }

    // Only an access code opens the program: every other text is refused with the one message,
    // and the shift log stays closed.
    void loginBox_data()
    {
        QTest::addColumn<QString>("input");
        for (const Input &input : inputs())
            QTest::newRow(input.name) << input.text;
    }
    void loginBox()
    {
        QFETCH(QString, input);
        MessageRecorder recorder;
        ModalScript modal([](QDialog &) {});
        TForm23 &login = m_program->loginDialog();
        paste(login.Edit1, input);
        QCOMPARE(login.Edit1->text(), input);
        login.Button1->click();
        QCOMPARE(recorder.described(),
                 QStringList{QStringLiteral("error Ошибка: Введены неверные данные.")});
        QCOMPARE(modal.opened, QStringList());
    }

private:
    TDataModule6 &dm() { return m_program->dataModule(); }

    // Opens the window holding a box as its opener does: the menu item, the main window's button.
    void open(const QString &window)
    {
        TForm1 &main = m_program->mainWindow();
        if (window == QLatin1String("TForm2") || window == QLatin1String("TForm5"))
            main.N1->trigger();
        else if (window == QLatin1String("TForm7") || window == QLatin1String("TForm3"))
            main.N3->trigger();
        else if (window == QLatin1String("TForm9") || window == QLatin1String("TForm8"))
            main.N6->trigger();
        else if (window == QLatin1String("TForm29") || window == QLatin1String("TForm26"))
            main.N8->trigger();
        else if (window == QLatin1String("TForm22") || window == QLatin1String("TForm4"))
            main.N4->trigger();
        else if (window == QLatin1String("TForm11"))
            main.Button1->click();
        else if (window == QLatin1String("TForm24"))
            main.Button5->click();
        else
            QFAIL(qPrintable(window));
    }

    // What the user does in the windows on the way to the box's window.
    void along(QDialog &dialog, const QString &target)
    {
        const QString name = dialog.objectName();
        Forms &forms = m_program->forms();
        if (name == QLatin1String("TForm5") && forms.Form5.Tag != 0) {
            forms.Form5.Edit1->clear();
            QVERIFY(forms.Form5.list().locate(QStringLiteral("id"), m_worker));
            forms.Form5.Button2->click();
        } else if (name == QLatin1String("TForm4") && forms.Form4.Tag != 0) {
            QVERIFY(forms.Form4.list().locate(QStringLiteral("id"), m_paint));
            forms.Form4.Button2->click();
        } else if (name == QLatin1String("TForm26") && forms.Form26.Tag != 0) {
            forms.Form26.Edit1->clear();
            QVERIFY(forms.Form26.list().locate(QStringLiteral("id"), m_group));
            forms.Form26.Button3->click();
        } else if (name == QLatin1String("TForm4") && target == QLatin1String("TForm22")) {
            // The norms of an operation that has none yet, opened by a double-click with
            // "Цены" ticked.
            TForm4 &prices = forms.Form4;
            prices.Edit1->clear();
            QVERIFY(prices.list().locate(QStringLiteral("id"), m_bare));
            prices.CheckBox1->setChecked(true);
            Q_EMIT prices.DBGrid1->doubleClicked(prices.DBGrid1->currentIndex());
        } else if (name == QLatin1String("TForm5")) {
            forms.Form5.Button1->click();
        } else if (name == QLatin1String("TForm3")) {
            forms.Form3.Button1->click();
        } else if (name == QLatin1String("TForm8")) {
            forms.Form8.Button1->click();
        } else if (name == QLatin1String("TForm26")) {
            forms.Form26.Button2->click();
        } else if (name == QLatin1String("TForm25")) {
            forms.Form25.Button5->click();
        }
    }

    // The other boxes of the window filled as a save needs them.
    void fillValid(QDialog &dialog, const QString &box)
    {
        Forms &forms = m_program->forms();
        const QString name = dialog.objectName();
        if (name == QLatin1String("TForm7")) {
            forms.Form7.Edit1->setText(QStringLiteral("Изделие %1").arg(++m_serial));
            forms.Form7.Edit2->setText(QStringLiteral("2"));
            forms.Form7.cb_item->setKeyValue(m_group);
        } else if (name == QLatin1String("TForm11")) {
            TForm11 &editor = forms.Form11;
            editor.Button3->click();
            editor.Button4->click();
            QVERIFY(editor.Edit5->isEnabled());
            editor.Edit3->setText(QStringLiteral("5"));
            editor.Edit4->setText(QStringLiteral("0"));
            editor.Edit5->setText(QStringLiteral("3"));
            editor.Edit6->setText(QStringLiteral("8"));
        } else if (name == QLatin1String("TForm24")) {
            TForm24 &editor = forms.Form24;
            editor.Button3->click();
            editor.Button4->click();
            QCOMPARE(editor.WorkerId, m_worker);
            QCOMPARE(editor.GroupId, m_group);
        } else if (name == QLatin1String("TForm22")) {
            // The other cells of the new norm first, in the order they stand; the box's cell last.
            const std::pair<const char *, const char *> cells[] = {
                {"norma", "10"}, {"price", "12,5"}, {"prize", "5"}};
            for (const auto &[field, text] : cells) {
                if (box == QLatin1String(field))
                    continue;
                QString shown;
                int maxLength = 0;
                enter(dialog, QLatin1String(field), QLatin1String(text), shown, maxLength);
            }
        }
    }

    // Puts the text into the box as a paste does, and reports what the box then shows.
    void enter(QDialog &dialog, const QString &box, const QString &text, QString &shown,
               int &maxLength)
    {
        QLineEdit *edit = nullptr;
        if (dialog.objectName() == QLatin1String("TForm22")) {
            DataGrid *grid = static_cast<TForm22 &>(dialog).DBGrid1;
            int visible = 0;
            for (int c = 0; c < grid->model()->columnCount(); ++c) {
                if (grid->model()->headerData(c, Qt::Horizontal).toString() == gridTitle(box))
                    visible = c;
            }
            bool moved = false;
            guard::run([&] { moved = grid->moveToCell(0, visible); });
            QVERIFY2(moved, qPrintable(box));
            QTest::keyClick(grid, Qt::Key_F2);
            edit = qobject_cast<QLineEdit *>(grid->indexWidget(grid->currentIndex()));
        } else {
            edit = dialog.findChild<QLineEdit *>(box);
        }
        QVERIFY2(edit, qPrintable(box));
        paste(edit, text);
        shown = edit->text();
        maxLength = edit->maxLength();
    }

    static QString gridTitle(const QString &field)
    {
        if (field == QLatin1String("norma"))
            return QStringLiteral("Норматив");
        if (field == QLatin1String("price"))
            return QStringLiteral("Цена");
        return QStringLiteral("Премия, %");
    }

    // The field a list's search box filters, and whether it finds the text anywhere.
    static std::pair<QString, bool> searchOf(const QString &list)
    {
        if (list == QLatin1String("TForm5"))
            return {QStringLiteral("fio"), false};
        if (list == QLatin1String("TForm3"))
            return {QStringLiteral("marka"), false};
        if (list == QLatin1String("TForm4"))
            return {QStringLiteral("marka"), true};
        if (list == QLatin1String("TForm8"))
            return {QStringLiteral("vid"), false};
        return {QStringLiteral("s_caption"), false};
    }

    qint64 maxId(const QString &table)
    {
        return TestDatabase::scalar(
            *m_check, QStringLiteral("select coalesce(max(id), 0) from %1").arg(table));
    }

    QList<qint64> tableCounts()
    {
        QStringList counts;
        for (const QString &table : allTables())
            counts << QStringLiteral("(select count(*) from %1)").arg(table);
        QList<qint64> result;
        try {
            QSqlQuery query =
                m_check->ADO_DB.run(QStringLiteral("select ") + counts.join(QLatin1String(", ")));
            query.next();
            for (int i = 0; i < allTables().size(); ++i)
                result.append(query.value(i).toLongLong());
        } catch (const DbError &error) {
            qWarning().noquote() << error.message();
        }
        return result;
    }

    const QDate m_today{2024, 3, 6}; // a Wednesday
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDataModule6> m_check; // reads back what the program stored
    std::unique_ptr<RunningProgram> m_program;
    qint64 m_worker = 0;
    qint64 m_group = 0;
    qint64 m_paint = 0;
    qint64 m_bare = 0;
    int m_serial = 0;
};

TABEL_TEST_MAIN(TestHostileInput)
#include "tst_hostile_input.moc"
