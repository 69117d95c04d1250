#pragma once

#include "app/build_stamp.h"
#include "app/modal.h"
#include "app/roles.h"

#include <QDialog>

class QPushButton;
class QTimer;
class TDataModule6;
class VersionWatch;

// The daily shift log: the entries of one day and shift, and the menu to every other window.
class TForm1 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    TForm1(TDataModule6 &dm, VersionWatch &versionWatch, QWidget *parent = nullptr);

    QPushButton *Button4;
    QTimer *Timer1;

    int ShiftNo = 0;
    QString LoginText;
    int BuildDate = 0;
    int BuildTime = 0;

    // Applies the role granted at login to this window's commands.
    void applyRole(Role role);

    void FormActivate() override;
    void Timer1Timer();
    void Button4Click();

private:
    TDataModule6 &m_dm;
    VersionWatch &m_versionWatch;
};
