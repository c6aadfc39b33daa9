#pragma once

#include "condora_export.h"

#include <QString>
#include <QVariant>

class QSettings;

namespace condora {

/// A store of named values in which a host keeps a control's properties with its window
/// description. Values are plain storable values (bool, unsigned colour numbers, texts, font
/// description texts, image bytes); an invalid QVariant means "no value".
class CONDORA_EXPORT PropertyBag
{
public:
    virtual ~PropertyBag();

    /// The stored value of `name`, or `defaultValue` when nothing is stored under it.
    virtual QVariant read(const QString &name, const QVariant &defaultValue) const = 0;
    /// Stores `value` under `name`; a value equal to `defaultValue` stores nothing (and
    /// removes what an earlier write left under that name).
    virtual void write(const QString &name, const QVariant &value, const QVariant &defaultValue) = 0;
};

/// A property bag in a QSettings store (not owned), optionally below a group, so that one
/// settings file can describe several controls ("MainWindow/Condora1/SqlInput").
/// QSettings may hand values back as text (INI files do); the control converts on reading.
class CONDORA_EXPORT SettingsPropertyBag : public PropertyBag
{
public:
    /// Stores in `settings` (not owned), under `group` when one is given.
    explicit SettingsPropertyBag(QSettings &settings, QString group = QString());

    QVariant read(const QString &name, const QVariant &defaultValue) const override;
    void write(const QString &name, const QVariant &value, const QVariant &defaultValue) override;

private:
    QString key(const QString &name) const;

    QSettings &m_settings;
    QString m_group;
};

} // namespace condora
