#include "ui/modal.h"

#include "ui/error_guard.h"

#include <QDialog>

namespace {
ModalHandler s_handler;
}

void setModalHandler(ModalHandler handler)
{
    s_handler = std::move(handler);
}

int runModal(QDialog &dialog, ActivationHandler *opener)
{
    if (auto *activated = dynamic_cast<ActivationHandler *>(&dialog))
        guard::run([&] { activated->FormActivate(); });
    const int result = s_handler ? s_handler(dialog) : dialog.exec();
    if (opener)
        guard::run([&] { opener->FormActivate(); });
    return result;
}
