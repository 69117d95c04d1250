#pragma once

#include "output/layout.h"

#include <QString>
#include <QStringList>

namespace reporting {

// What a printed report is made of: its statement, the name its layout's expressions give the
// query ("t_Report.fio"), and the layout.
struct ReportDesign
{
    QString queryName;
    QStringList sql;
    report::Layout layout;
};

} // namespace reporting
