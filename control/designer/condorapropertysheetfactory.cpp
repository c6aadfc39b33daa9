#include "control/designer/condorapropertysheetfactory.h"

#include "control/condora.h"
#include "control/designer/condorapropertysheet.h"

#include <QScopedValueRollback>
#include <QtDesigner/QDesignerPropertySheetExtension>
#include <QtDesigner/QExtensionManager>

namespace condora {

namespace {
// True while the factory asks the manager for Designer's own sheet: the manager then asks
// this factory first again, and it must pass the question on.
thread_local bool askingForDesignerSheet = false;
}

CondoraPropertySheetFactory::CondoraPropertySheetFactory(QExtensionManager *manager)
    : QExtensionFactory(manager)
{
}

void CondoraPropertySheetFactory::registerWith(QExtensionManager *manager)
{
    if (!manager) {
        return;
    }
    // The manager asks the most recently registered factory first.
    manager->registerExtensions(new CondoraPropertySheetFactory(manager),
                                QString::fromUtf8(Q_TYPEID(QDesignerPropertySheetExtension)));
}

QObject *CondoraPropertySheetFactory::createExtension(QObject *object, const QString &iid, QObject *parent) const
{
    if (askingForDesignerSheet || iid != QLatin1StringView(Q_TYPEID(QDesignerPropertySheetExtension))) {
        return nullptr;
    }
    auto *control = qobject_cast<Condora *>(object);
    if (!control) {
        return nullptr;
    }
    QDesignerPropertySheetExtension *designerSheet = nullptr;
    {
        const QScopedValueRollback guard(askingForDesignerSheet, true);
        designerSheet = qt_extension<QDesignerPropertySheetExtension *>(extensionManager(), object);
    }
    if (!designerSheet) {
        return nullptr;
    }
    return new CondoraPropertySheet(control, designerSheet, parent);
}

} // namespace condora
