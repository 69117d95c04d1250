#include "app/forms.h"
#include "app/login_dialog.h"
#include "app/startup.h"
#include "shiftlog/shift_log.h"
#include "support/recorders.h"
#include "support/running_program.h"
#include "support/test_database.h"
#include "support/test_main.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <algorithm>

// Screen readers and tools that drive the program find a control by its accessible name: every
// enabled interactive control of every window has one.
class TestAccessibility : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_db = std::make_unique<TestDatabase>(QStringLiteral("accessibility"));
        m_program = std::make_unique<RunningProgram>(*m_db);
        QVERIFY(m_program->started());
    }
    void cleanupTestCase()
    {
        m_program.reset();
        m_db.reset();
    }

    void everyControlIsNamed_data()
    {
        QTest::addColumn<QWidget *>("window");
        for (QWidget *window : QApplication::topLevelWidgets()) {
            // The report layouts are no windows of their own: they are never shown.
            if (window->objectName().startsWith(QLatin1String("TForm")) &&
                qobject_cast<QDialog *>(window))
                QTest::newRow(qPrintable(window->objectName())) << window;
        }
    }
    void everyControlIsNamed()
    {
        QFETCH(QWidget *, window);
        QVERIFY(!window->windowTitle().isEmpty());
        QStringList unnamed;
        for (QWidget *control : window->findChildren<QWidget *>()) {
            const bool interactive =
                qobject_cast<QAbstractButton *>(control) || qobject_cast<QLineEdit *>(control) ||
                qobject_cast<QComboBox *>(control) || qobject_cast<QAbstractSpinBox *>(control) ||
                qobject_cast<QAbstractItemView *>(control);
            if (!interactive || !control->isEnabled())
                continue;
            // Qt's own parts of a control (grid headers and corner, the calendar popup's inner
            // buttons, the menu bar's overflow arrow) are reached through their control.
            if (qobject_cast<QHeaderView *>(control) ||
                control->objectName().startsWith(QLatin1String("qt_")) ||
                QLatin1String(control->metaObject()->className()) ==
                    QLatin1String("QTableCornerButton"))
                continue;
            // The editors inside spin boxes and combo boxes belong to their box.
            if (qobject_cast<QLineEdit *>(control) &&
                (qobject_cast<QAbstractSpinBox *>(control->parentWidget()) ||
                 qobject_cast<QComboBox *>(control->parentWidget())))
                continue;
            if (qobject_cast<QAbstractItemView *>(control) &&
                qobject_cast<QComboBox *>(control->parentWidget()->parentWidget()))
                continue;
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
            if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << (control->objectName().isEmpty()
                                ? QString::fromLatin1(control->metaObject()->className())
                                : control->objectName());
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(window->objectName() + QStringLiteral(": ") +
                                               unnamed.join(QStringLiteral(", "))));
    }

    // Each window's title is its caption, the one a person and a tool find it by. Windows whose
    // opener sets the caption (editors, the monthly timesheet's modes) show their design caption
    // until then.
    void windowTitles_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("title");
        const std::pair<const char *, const char *> captions[] = {
            {"TForm1", "Табель"},
            {"TForm23", "Авторизация (build: 20240305.0)"},
            {"TForm2", "Работники"},
            {"TForm3", "Изделия (3)"},
            {"TForm4", "Операции"},
            {"TForm5", "Список рабочих"},
            {"TForm7", "Изделие"},
            {"TForm8", "Виды операций (8)"},
            {"TForm9", "Form9"},
            {"TForm18", "Отчеты (8)"},
            {"TForm19", "Табель по времени"},
            {"TForm22", "Норматив"},
            {"TForm24", "Хоз. работы/среднесдельная (24)"},
            {"TForm26", "Номенклатура (26)"},
            {"TForm29", "Ведение групп (29)"},
        };
        for (const auto &[window, title] : captions)
            QTest::newRow(window) << QString::fromUtf8(window) << QString::fromUtf8(title);
    }
    void windowTitles()
    {
        QFETCH(QString, window);
        QFETCH(QString, title);
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto found = std::find_if(windows.begin(), windows.end(), [&](QWidget *widget) {
            return widget->objectName() == window;
        });
        QVERIFY(found != windows.end());
        QCOMPARE((*found)->windowTitle(), title);
    }

    // A label names the box it stands by only when it is that box's buddy; the labels that are
    // themselves values (the monthly timesheet's footer sums) are named by theirs.
    void everyLabelHasItsBox_data() { everyControlIsNamed_data(); }
    void everyLabelHasItsBox()
    {
        QFETCH(QWidget *, window);
        const QList<QLabel *> labels = window->findChildren<QLabel *>();
        QSet<const QWidget *> values;
        for (const QLabel *label : labels)
            values.insert(label->buddy());
        QStringList alone;
        for (const QLabel *label : labels) {
            if (!label->buddy() && !values.contains(label) && !label->text().isEmpty())
                alone << label->text();
        }
        QVERIFY2(alone.isEmpty(), qPrintable(window->objectName() + QStringLiteral(": ") +
                                             alone.join(QStringLiteral(", "))));
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<RunningProgram> m_program;
};

TABEL_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
