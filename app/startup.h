#pragma once

#include "app/forms.h"
#include "db/build_stamp.h"
#include "shiftlog/shift_log.h"

#include <QStringList>

#include <memory>
#include <vector>

class QWidget;

class ProductionCalendar;
class TDataModule6;
class TForm1;
class TForm23;
class VersionWatch;

struct StartupOptions
{
    int versionCheckInterval = 30000; // the main window's timer
    int terminationDelay = 5000;      // the login dialog's timer after a failed version check
};

// The program's start: the data module and its connection from the command line, then every
// window once, hidden, and the login dialog as the first window shown. The program also opens the
// windows of the shift log's menu for it.
class Program : private ShiftLogLinks
{
public:
    Program(const BuildStamp &build, const QStringList &arguments, StartupOptions options = {});
    ~Program() override;

    // False when the program must end at once (no connection, or a newer database); the exit code
    // is then termination::exitCode().
    bool start();

    // The windows exist once start() has passed the connection and the database checks.
    TDataModule6 &dataModule() { return *m_dm; }
    TForm1 &mainWindow() { return *m_form1; }
    TForm23 &loginDialog() { return *m_form23; }
    Forms &forms() { return *m_forms; }

private:
    void createWindows();
    template<typename Window, typename... Args>
    Window &create(Args &&...args);

    void open(ShiftLogLink link, const QDate &day, ActivationHandler *opener) override;
    TForm11 &entryEditor() override;

    BuildStamp m_build;
    QStringList m_arguments;
    StartupOptions m_options;
    std::unique_ptr<TDataModule6> m_dm;
    std::unique_ptr<VersionWatch> m_versionWatch;
    // The windows in their creation order, each after the windows it opens; released in reverse.
    std::vector<std::unique_ptr<QWidget>> m_windows;
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TForm23> m_form23;
    ProductionCalendar *m_calendar = nullptr; // one of m_windows
    std::unique_ptr<Forms> m_forms;
};
