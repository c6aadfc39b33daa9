#pragma once

#include <QtDesigner/QExtensionFactory>

class QExtensionManager;

namespace condora {

/// Makes a CondoraPropertySheet for every Condora control on a form. Registered ahead of
/// Designer's own property sheet factory, it asks that factory for Designer's sheet and
/// wraps it; for any other object it makes nothing, so Designer's factory answers.
class CondoraPropertySheetFactory : public QExtensionFactory
{
    Q_OBJECT

public:
    explicit CondoraPropertySheetFactory(QExtensionManager *manager);

    /// Registers a factory with `manager` for the property sheet interface; it is owned by
    /// the manager.
    static void registerWith(QExtensionManager *manager);

protected:
    QObject *createExtension(QObject *object, const QString &iid, QObject *parent) const override;
};

} // namespace condora
