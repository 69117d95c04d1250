#pragma once

#include "app/startup.h"
#include "support/recorders.h"

class TestDatabase;

// The whole program started on a test database as a user starts it: every window created, the
// login dialog shown, the version timer stopped so that it cannot fire inside a long test, and
// termination requests recorded instead of ending the test.
class RunningProgram
{
public:
    explicit RunningProgram(const TestDatabase &db, const BuildStamp &stamp = {20240305, 0});

    bool started() const { return m_started; }
    Program &program() { return m_program; }
    TDataModule6 &dataModule() { return m_program.dataModule(); }
    TForm1 &mainWindow() { return m_program.mainWindow(); }
    TForm23 &loginDialog() { return m_program.loginDialog(); }
    Forms &forms() { return m_program.forms(); }

private:
    TerminationRecorder m_terminations;
    Program m_program;
    bool m_started = false;
};
