#include "app/main_window.h"

#include "app/error_guard.h"
#include "app/version_watch.h"
#include "db/data_module.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TForm1::TForm1(TDataModule6 &dm, VersionWatch &versionWatch, QWidget *parent)
    : QDialog(parent)
    , Button4(new QPushButton(QStringLiteral("Выход"), this))
    , Timer1(new QTimer(this))
    , BuildDate(versionWatch.build().date)
    , BuildTime(versionWatch.build().time)
    , m_dm(dm)
    , m_versionWatch(versionWatch)
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Табель"));
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setAutoDefault(false);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(30000);

    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button4);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(1281, 585);

    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    // The version check runs from start-up on, also while only the login dialog is shown.
    Timer1->start();
}

void TForm1::applyRole(Role)
{
    for (int shift = 1; shift <= 4; ++shift)
        m_dm.shiftQuery(shift).setParam(QStringLiteral("ok"), QStringLiteral("ta"));
}

void TForm1::FormActivate() {}

void TForm1::Timer1Timer()
{
    guard::runFromTimer([this] { m_versionWatch.check(); });
}

void TForm1::Button4Click()
{
    close();
}
