#include "ui/modal.h"

#include "ui/error_guard.h"

#include <QDialog>

namespace {
ModalHandler s_default;
ModalHandler s_handler;
} // namespace

void setModalHandler(ModalHandler handler)
{
    s_handler = std::move(handler);
}

void setDefaultModalHandler(ModalHandler handler)
{
    s_default = std::move(handler);
}

int runModal(QDialog &dialog, ActivationHandler *opener)
{
    if (auto *activated = dynamic_cast<ActivationHandler *>(&dialog))
        guard::run([&] { activated->FormActivate(); });
    // A copy: the handler may install another one while it runs.
    const ModalHandler handler = s_handler ? s_handler : s_default;
    const int result = handler ? handler(dialog) : dialog.exec();
    if (opener)
        guard::run([&] { opener->FormActivate(); });
    return result;
}
