#include "dialog/querydialogregistration.h"

#include "control/querydialoghook.h"
#include "dialog/frmcondora.h"

#include <QCoreApplication>

#include <memory>

namespace condora {

void installQueryDialog()
{
    setQueryDialogFunction([] {
        // No owner window: the dialog is modal for the whole application.
        auto dialog = std::make_unique<frmCondora>();
        dialog->exec();
    });
}

} // namespace condora

namespace {

// Runs when the application object exists (at once when the library is loaded later), so the
// control's hook storage is fully constructed whatever the order of static initialisation.
void registerQueryDialog()
{
    condora::installQueryDialog();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(registerQueryDialog)
