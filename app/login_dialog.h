#pragma once

#include "ui/modal.h"
#include "ui/roles.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;
class QTimer;
class TDataModule6;
class TForm1;
class VersionWatch;

// The authorization dialog: the first window, where the access code decides the role.
class TForm23 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    // Called with the role granted, for the windows besides the main one that the role restricts.
    using RoleListener = std::function<void(Role)>;

    TForm23(TDataModule6 &dm, VersionWatch &versionWatch, TForm1 &main, RoleListener applyRole = {},
            QWidget *parent = nullptr);

    QLineEdit *Edit1;
    QPushButton *Button1;
    QPushButton *Button2;
    QTimer *Timer1;

    void FormActivate() override;
    void Button1Click();
    void Button2Click();
    void Timer1Timer();

    // Every way of closing the dialog ends the program.
    void done(int result) override;

private:
    TDataModule6 &m_dm;
    VersionWatch &m_versionWatch;
    TForm1 &m_main;
    RoleListener m_applyRole;
};
