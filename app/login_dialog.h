#pragma once

#include "app/modal.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTimer;
class TForm1;
class VersionWatch;

// The authorization dialog: the first window, where the access code decides the role.
class TForm23 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    TForm23(VersionWatch &versionWatch, TForm1 &mainWindow, QWidget *parent = nullptr);

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
    VersionWatch &m_versionWatch;
    TForm1 &m_mainWindow;
};
