#include "app/login_dialog.h"

#include "db/data_module.h"
#include "db/messages.h"
#include "shiftlog/shift_log.h"
#include "ui/error_guard.h"
#include "ui/roles.h"
#include "ui/termination.h"
#include "ui/version_watch.h"
#include "ui/window_setup.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
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

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(Edit1, 1);
    layout->addWidget(Button1);
    layout->addWidget(Button2);
    setFixedSize(std::max(330, widthForCaption(captionWithBuild(m_versionWatch.build()))), 44);
    centreOnScreen(*this);

    guard::connect(Button1, &QPushButton::clicked, this, &TForm23::Button1Click);
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    m_versionWatch.setTerminationTimer(Timer1);
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
    const QString code = trimmedCode(Edit1->text());
    main.ShiftNo = 1;
    main.LoginText = code;
    const Role role = roleForCode(code);
    main.N11->menuAction()->setEnabled(role == Role::Full);
    // Entries carry "ok", "да" or "no"; "ta" matches none, so every entry with a state is listed.
    for (int shift = 1; shift <= 4; ++shift)
        m_dm.shiftQuery(shift).setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    if (role == Role::None) {
        messages::error(QStringLiteral("Ошибка"), QStringLiteral("Введены неверные данные."));
        return;
    }
    // The change history records who changed an entry in which role.
    m_dm.ADO_DB.setProgramRole(roleName(role));
    main.applyRole(role);
    if (m_applyRole)
        m_applyRole(role);
    hide();
    runModal(main);
    done(QDialog::Accepted);
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
