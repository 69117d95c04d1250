#include "db/db_error.h"
#include "db/number_format.h"
#include "db/row_filter.h"
#include "db/sql_text.h"
#include "db/statement.h"
#include "support/test_main.h"
#include "ui/locale_setup.h"

#include <QCoreApplication>
#include <QTest>

// SQL text written from values, number texts and the client-side filter language.
class TestSqlText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { setupRussianLocale(*QCoreApplication::instance()); }

    void literals_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("null") << QVariant() << "NULL";
        QTest::newRow("negative integer") << QVariant(-17) << "-17";
        QTest::newRow("bigint") << QVariant(qlonglong(9000000000)) << "9000000000";
        QTest::newRow("decimal has a point") << QVariant(12.5) << "12.5";
        QTest::newRow("decimal never an exponent") << QVariant(0.00001) << "0.00001";
        QTest::newRow("large decimal") << QVariant(1e16) << "10000000000000000";
        QTest::newRow("date is ISO") << QVariant(QDate(2024, 3, 5)) << "'2024-03-05'";
        QTest::newRow("timestamp keeps local midnight")
            << QVariant(QDateTime(QDate(2024, 3, 5), QTime(0, 0))) << "'2024-03-05 00:00:00'";
        QTest::newRow("quote doubled") << QVariant(QStringLiteral("O'Brien")) << "'O''Brien'";
        QTest::newRow("backslash stays") << QVariant(QStringLiteral("a\\'b")) << "'a\\''b'";
        QTest::newRow("Cyrillic") << QVariant(QStringLiteral("Иванов И.И.")) << "'Иванов И.И.'";
    }
    void literals()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(sql::literal(value), expected);
    }

    void textPieces()
    {
        QCOMPARE(sql::toDate(QDate(2024, 3, 5)),
                 QStringLiteral("to_date('05.03.2024', 'DD.MM.YYYY')"));
        QCOMPARE(sql::dayColumn(1), QStringLiteral("d1"));
        QCOMPARE(sql::dayColumn(31), QStringLiteral("d31"));
        QCOMPARE(sql::integer(-5), QStringLiteral("-5"));
    }

    // Typed prices: comma or point, one separator, nothing else reaches the database; the exact
    // text keeps every digit typed.
    void parseDecimal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("exact");
        QTest::newRow("comma") << "12,5" << true << 12.5 << "12.5";
        QTest::newRow("point") << "12.5" << true << 12.5 << "12.5";
        QTest::newRow("integer") << "12" << true << 12.0 << "12";
        QTest::newRow("leading separator") << ",5" << true << 0.5 << "0.5";
        QTest::newRow("trailing separator") << "3." << true << 3.0 << "3";
        QTest::newRow("trailing zeros kept") << "2,50" << true << 2.5 << "2.50";
        QTest::newRow("17 digits")
            << "12345678,123456789" << true << 12345678.123456789 << "12345678.123456789";
        QTest::newRow("blanks around") << " 7,25 " << true << 7.25 << "7.25";
        QTest::newRow("two separators") << "1.2.3" << false << 0.0 << "";
        QTest::newRow("thousands") << "1 234,5" << false << 0.0 << "";
        QTest::newRow("letters") << "12a" << false << 0.0 << "";
        QTest::newRow("empty") << "" << false << 0.0 << "";
        QTest::newRow("minus refused") << "-1" << false << 0.0 << "";
        QTest::newRow("exponent refused") << "1e5" << false << 0.0 << "";
    }
    void parseDecimal()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, value);
        QFETCH(QString, exact);
        const auto parsed = sql::parseDecimal(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
        const auto exactText = sql::decimalText(text);
        QCOMPARE(exactText.has_value(), valid);
        if (valid)
            QCOMPARE(*exactText, exact);
    }

    // Placeholders: case-insensitive names, repeated names, casts and quoted colons left alone.
    void placeholders()
    {
        Parameters params;
        params.set(QStringLiteral("DATA"), QDate(2024, 3, 5));
        params.set(QStringLiteral("ok"), QStringLiteral("ta'"));
        const QString text = QStringLiteral(
            "select s_code::t_id, to_char(x, 'HH24:MI:SS'), \":no\" from t -- :comment\n"
            "where data=:data and ok!=:OK and d2 = :data");
        QCOMPARE(placeholderNames(text), (QStringList{"data", "OK", "data"}));
        QCOMPARE(inlineParameters(text, params),
                 QStringLiteral("select s_code::t_id, to_char(x, 'HH24:MI:SS'), \":no\" from t -- "
                                ":comment\nwhere data='2024-03-05' and ok!='ta''' and d2 = "
                                "'2024-03-05'"));
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 inlineParameters(QStringLiteral("select :missing"), params));
    }

    void numberMasks_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("expected");
        QTest::newRow("#0") << 12.6 << "#0"
                            << "13";
        QTest::newRow("#0.00") << 12.5 << "#0.00"
                               << "12,50";
        QTest::newRow("#0.000") << 1.0 / 3 << "#0.000"
                                << "0,333";
        QTest::newRow("#0.00# two") << 12.5 << "#0.00#"
                                    << "12,50";
        QTest::newRow("#0.00# three") << 12.125 << "#0.00#"
                                      << "12,125";
        QTest::newRow("#0.00# rounds") << 1.23456 << "#0.00#"
                                       << "1,235";
        QTest::newRow("no group separator") << 1234567.0 << "#0.00"
                                            << "1234567,00";
        QTest::newRow("negative zero") << -0.001 << "#0.00"
                                       << "0,00";
    }
    void numberMasks()
    {
        QFETCH(double, value);
        QFETCH(QString, mask);
        QFETCH(QString, expected);
        QCOMPARE(numbers::format(value, mask), expected);
    }

    void numberText()
    {
        QCOMPARE(numbers::text(12.5), QStringLiteral("12,5"));
        QCOMPARE(numbers::text(9), QStringLiteral("9"));
        QCOMPARE(numbers::text(1234567.25), QStringLiteral("1234567,25"));
    }

    void filterExpressions_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<bool>("accepted");
        // The row: i_id 7777, naimen 0, fio "Ёлкин А.А.", marka "ТП-120 белый"
        QTest::newRow("not equal number") << "i_id<>7777" << false;
        QTest::newRow("equal number") << "naimen=0" << true;
        QTest::newRow("spaces and and") << " naimen = 0 and i_id <> 1 " << true;
        QTest::newRow("like prefix, other case") << "fio like 'ёлк%'" << true;
        QTest::newRow("like contains") << "marka like '%120%'" << true;
        QTest::newRow("like no match") << "marka like 'белый%'" << false;
        QTest::newRow("like exact needs whole text") << "marka like 'ТП-120'" << false;
        QTest::newRow("text equal ignores case") << "marka='тп-120 БЕЛЫЙ'" << true;
        QTest::newRow("table prefix") << "oper.naimen=0" << true;
    }
    void filterExpressions()
    {
        QFETCH(QString, expression);
        QFETCH(bool, accepted);
        const QHash<QString, QVariant> row{{"i_id", 7777},
                                           {"naimen", 0},
                                           {"fio", QStringLiteral("Ёлкин А.А.")},
                                           {"marka", QStringLiteral("ТП-120 белый")}};
        const RowFilter filter = RowFilter::parse(expression);
        QCOMPARE(filter.accepts([&](const QString &name) {
            return row.value(name.section(QLatin1Char('.'), -1).toLower());
        }),
                 accepted);
    }

    void filterSyntaxErrors()
    {
        QVERIFY_THROWS_EXCEPTION(DbError, RowFilter::parse(QStringLiteral("fio like 'abc")));
        QVERIFY_THROWS_EXCEPTION(DbError, RowFilter::parse(QStringLiteral("fio ~ 1")));
        QVERIFY_THROWS_EXCEPTION(DbError, RowFilter::parse(QStringLiteral("a=1 or b=2")));
    }

    // A typed search text is a value: quotes, "%" and "_" in it are plain characters.
    void searchTextIsAValue_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("startsWith");
        QTest::addColumn<bool>("contains");
        QTest::newRow("Cyrillic, other case") << "ива"
                                              << "Иванов И.И." << true << true;
        QTest::newRow("quote") << "O'B"
                               << "o'brien" << true << true;
        QTest::newRow("percent is literal") << "5%"
                                            << "50 шт" << false << false;
        QTest::newRow("percent found") << "5%"
                                       << "5% скидка" << true << true;
        QTest::newRow("underscore is literal") << "a_b"
                                               << "axb" << false << false;
        QTest::newRow("inside") << "120"
                                << "ТП-120 белый" << false << true;
    }
    void searchTextIsAValue()
    {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(bool, startsWith);
        QFETCH(bool, contains);
        const auto value = [&](const QString &) { return QVariant(name); };
        QCOMPARE(RowFilter::startsWith(QStringLiteral("fio"), typed).accepts(value), startsWith);
        QCOMPARE(RowFilter::contains(QStringLiteral("fio"), typed).accepts(value), contains);
    }

    void likePatternOfTheProgram()
    {
        const RowFilter filter = RowFilter::like(QStringLiteral("fio"), QStringLiteral("O'B%"));
        QVERIFY(filter.accepts([](const QString &) { return QStringLiteral("o'brien"); }));
        QVERIFY(!filter.accepts([](const QString &) { return QStringLiteral("obrien"); }));
    }
};

TABEL_TEST_GUILESS_MAIN(TestSqlText)
#include "tst_sql_text.moc"
