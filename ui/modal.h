#pragma once

#include <functional>

class QDialog;

// A window whose activation handler runs when it is shown and again when a modal window it
// opened returns.
class ActivationHandler
{
public:
    virtual ~ActivationHandler() = default;
    virtual void FormActivate() = 0;
};

using ModalHandler = std::function<int(QDialog &)>;

// Installs a handler that stands in for exec() (tests); an empty one restores the default.
void setModalHandler(ModalHandler handler);
// The handler used when none is installed; empty (as at start): exec(). Test programs make it
// fail the test, so that no window waits for a click.
void setDefaultModalHandler(ModalHandler handler);

// Shows the dialog modally and returns its result. The dialog's own activation handler runs as it
// is shown; the opener's runs after it returns. Both run inside the error guard.
int runModal(QDialog &dialog, ActivationHandler *opener = nullptr);
