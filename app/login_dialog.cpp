#include "app/login_dialog.h"

#include "db/data_module.h"
#include "db/db_error.h"
#include "db/login_mode.h"
#include "db/messages.h"
#include "db/schema_check.h"
#include "shiftlog/shift_log.h"
#include "ui/error_guard.h"
#include "ui/roles.h"
#include "ui/termination.h"
#include "ui/version_watch.h"
#include "ui/window_setup.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

QString captionWithBuild(const BuildStamp &build)
{
    return QStringLiteral("Авторизация (build: %1.%2)").arg(build.date).arg(build.time);
}

// The window manager draws the caption in its title font (often bold) beside the icon and the
// title bar's buttons: the dialog is wide enough for the caption with the build.
int widthForCaption(const QString &caption)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    constexpr int iconAndButtons = 150;
    return QFontMetrics(font).horizontalAdvance(caption) + iconAndButtons;
}

} // namespace

TForm23::TForm23(TDataModule6 &dm, VersionWatch &versionWatch, TForm1 &main, RoleListener applyRole,
                 QWidget *parent)
    : QDialog(parent)
    , Edit1(new QLineEdit(this))
    , LabelUser(new QLabel(QStringLiteral("Пользователь:"), this))
    , EditUser(new QLineEdit(this))
    , LabelPassword(new QLabel(QStringLiteral("Пароль:"), this))
    , Button1(new QPushButton(QStringLiteral("Вход"), this))
    , Button2(new QPushButton(QStringLiteral("Отмена"), this))
    , Timer1(new QTimer(this))
    , m_dm(dm)
    , m_versionWatch(versionWatch)
    , m_main(main)
    , m_applyRole(std::move(applyRole))
{
    setObjectName(QStringLiteral("TForm23"));
    setWindowTitle(QStringLiteral("Авторизация"));
    setWindowIcon(programIcon());
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setAccessibleName(QStringLiteral("Код доступа"));
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Button1->setDefault(true);
    Button1->setAutoDefault(true);
    Button2->setAutoDefault(false);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    Timer1->setSingleShot(true);

    EditUser->setObjectName(QStringLiteral("EditUser"));
    EditUser->setAccessibleName(QStringLiteral("Пользователь"));
    EditUser->setMaxLength(63); // the longest role name PostgreSQL keeps
    LabelUser->setObjectName(QStringLiteral("LabelUser"));
    LabelUser->setBuddy(EditUser);
    LabelPassword->setObjectName(QStringLiteral("LabelPassword"));
    LabelPassword->setBuddy(Edit1);

    // The access code's row as it always was; the personal login adds the user's row above it and
    // the labels before both boxes.
    auto *layout = new QGridLayout(this);
    layout->addWidget(LabelUser, 0, 0);
    layout->addWidget(EditUser, 0, 1);
    layout->addWidget(LabelPassword, 1, 0);
    layout->addWidget(Edit1, 1, 1);
    layout->addWidget(Button1, 1, 2);
    layout->addWidget(Button2, 1, 3);
    layout->setColumnStretch(1, 1);
    setPersonalLogins(false);

    guard::connect(Button1, &QPushButton::clicked, this, &TForm23::Button1Click);
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    m_versionWatch.setTerminationTimer(Timer1);
}

void TForm23::setPersonalLogins(bool personal)
{
    m_personal = personal;
    LabelUser->setVisible(personal);
    EditUser->setVisible(personal);
    LabelPassword->setVisible(personal);
    Edit1->setAccessibleName(personal ? QStringLiteral("Пароль") : QStringLiteral("Код доступа"));
    setTabOrder(EditUser, Edit1);
    fitSize();
    (personal ? EditUser : Edit1)->setFocus();
}

void TForm23::fitSize()
{
    setFixedSize(std::max(330, widthForCaption(captionWithBuild(m_versionWatch.build()))),
                 m_personal ? 76 : 44);
    centreOnScreen(*this);
}

void TForm23::FormActivate()
{
    if (!m_versionWatch.check())
        return;
    setWindowTitle(captionWithBuild(m_versionWatch.build()));
}

void TForm23::Button1Click()
{
    TForm1 &main = m_main;
    const QString code = m_personal ? trimmedCode(EditUser->text()) : trimmedCode(Edit1->text());
    main.ShiftNo = 1;
    main.LoginText = code;
    const Role role = m_personal ? personalLogin(code, Edit1->text()) : roleForCode(code);
    main.N11->menuAction()->setEnabled(role == Role::Full);
    // Entries carry "ok", "да" or "no"; "ta" matches none, so every entry with a state is listed.
    for (int shift = 1; shift <= 4; ++shift)
        m_dm.shiftQuery(shift).setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    if (role == Role::None) {
        if (!m_personal)
            messages::error(QStringLiteral("Ошибка"), QStringLiteral("Введены неверные данные."));
        return;
    }
    // The change history records who changed an entry in which role. After an access code the
    // session acts as the code's group: the program itself can never exceed the role. A person
    // has the rights of the group the database has him in.
    m_dm.ADO_DB.setProgramRole(roleName(role), m_personal ? QString() : roleGroup(role));
    main.applyRole(role);
    if (m_applyRole)
        m_applyRole(role);
    hide();
    runModal(main);
    done(QDialog::Accepted);
}

Role TForm23::personalLogin(const QString &user, const QString &password)
{
    if (user.isEmpty()) {
        messages::error(QStringLiteral("Ошибка"),
                        QStringLiteral("Введите имя пользователя и пароль."));
        return Role::None;
    }
    const auto refuse = [&](const QString &text, const QString &detail = {}) {
        // Back to the site's login, so that the version check goes on while the dialog waits.
        m_dm.ADO_DB.setLogin({}, {});
        try {
            m_dm.ADO_DB.open();
        } catch (const DbError &) {
            // The next statement reconnects, or the error display says why it cannot.
        }
        messages::error(QStringLiteral("Ошибка"), text, detail);
        return Role::None;
    };
    m_dm.ADO_DB.setLogin(user, password);
    try {
        m_dm.ADO_DB.open();
    } catch (const DbError &error) {
        return refuse(QStringLiteral("Вход не выполнен: неверное имя пользователя или пароль."),
                      error.message());
    }
    const Role role = roleForGroups(loginmode::memberGroups(m_dm.ADO_DB));
    if (role == Role::None)
        return refuse(QStringLiteral("Пользователь «%1» не входит ни в одну группу программы "
                                     "(tabel_full, tabel_planning, tabel_foremen, "
                                     "tabel_warehouse): обратитесь к администратору базы.")
                          .arg(user));
    // The site's login may read nothing before the dialog: what the program needs of the
    // database is checked as the person.
    const QStringList missing = schema_check::missing(m_dm.ADO_DB);
    if (!missing.isEmpty())
        return refuse(schema_check::message(), missing.join(QLatin1Char('\n')));
    return role;
}

void TForm23::Button2Click()
{
    done(QDialog::Rejected);
}

void TForm23::Timer1Timer()
{
    termination::request(1);
}

void TForm23::done(int result)
{
    QDialog::done(result);
    termination::request(termination::requested() ? termination::exitCode() : 0);
}
