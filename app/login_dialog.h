#pragma once

#include "ui/modal.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTimer;
class TDataModule6;
class VersionWatch;
struct Forms;

// The authorization dialog: the first window, where the access code decides the role.
class TForm23 : public QDialog, public ActivationHandler
{
    Q_OBJECT
public:
    TForm23(TDataModule6 &dm, VersionWatch &versionWatch, Forms &forms, QWidget *parent = nullptr);

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
    Forms &m_forms;
};
