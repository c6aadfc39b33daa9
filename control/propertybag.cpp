#include "control/propertybag.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace condora {

PropertyBag::~PropertyBag() = default;

SettingsPropertyBag::SettingsPropertyBag(QSettings &settings, QString group)
    : m_settings(settings)
    , m_group(std::move(group))
{
}

QString SettingsPropertyBag::key(const QString &name) const
{
    return m_group.isEmpty() ? name : m_group + u'/' + name;
}

QVariant SettingsPropertyBag::read(const QString &name, const QVariant &defaultValue) const
{
    return m_settings.value(key(name), defaultValue);
}

void SettingsPropertyBag::write(const QString &name, const QVariant &value, const QVariant &defaultValue)
{
    // A value equal to its default is not stored; a stale entry from an earlier save would
    // otherwise come back on the next load.
    if (!value.isValid() || value == defaultValue) {
        m_settings.remove(key(name));
        return;
    }
    m_settings.setValue(key(name), value);
}

} // namespace condora
