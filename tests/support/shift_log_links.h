#pragma once

#include "shiftlog/shift_log.h"

#include <QList>

#include <stdexcept>

// The shift log's links for tests of the shift log alone: the windows it would open are recorded,
// and there is no entry editor to open.
class RecordedShiftLogLinks : public ShiftLogLinks
{
public:
    void open(ShiftLogLink link, const QDate &, ActivationHandler *) override { opened << link; }
    TForm11 &entryEditor() override { throw std::logic_error("this test has no entry editor"); }

    QList<ShiftLogLink> opened;
};
