#pragma once

#include "ui/modal.h"
#include "ui/roles.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TDataModule6;
class TForm1;
class VersionWatch;

// The authorization dialog: the first window, where the access code decides the role; where the
// site has turned personal logins on, a person's own login and password, and the role comes from
// the group the database has the person in.
class TForm23 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    // Called with the role granted, for the windows besides the main one that the role restricts.
    using RoleListener = std::function<void(Role)>;

    TForm23(TDataModule6 &dm, VersionWatch &versionWatch, TForm1 &main, RoleListener applyRole = {},
            QWidget *parent = nullptr);

    QLineEdit *Edit1; // the access code, or the password of a personal login
    QLabel *LabelUser;
    QLineEdit *EditUser; // the personal login's name, shown only in that mode
    QLabel *LabelPassword;
    QPushButton *Button1;
    QPushButton *Button2;
    QTimer *Timer1;

    // Switches the dialog to personal logins (the site's setting, read at start-up).
    void setPersonalLogins(bool personal);
    bool personalLogins() const { return m_personal; }

    void FormActivate() override;
    void Button1Click();
    void Button2Click();
    void Timer1Timer();

    // Every way of closing the dialog ends the program.
    void done(int result) override;

private:
    // The role of the person who logged in, or None after telling why not (the site's login is
    // then in use again).
    Role personalLogin(const QString &user, const QString &password);
    void fitSize();

    TDataModule6 &m_dm;
    VersionWatch &m_versionWatch;
    TForm1 &m_main;
    RoleListener m_applyRole;
    bool m_personal = false;
};
