#include "support/running_program.h"

#include "shiftlog/shift_log.h"
#include "support/test_database.h"

#include <QTimer>

RunningProgram::RunningProgram(const TestDatabase &db, const BuildStamp &stamp)
    : m_program(stamp, {db.name(), TestDatabase::server()})
{
    m_started = m_program.start();
    if (m_started)
        m_program.mainWindow().Timer1->stop();
}
