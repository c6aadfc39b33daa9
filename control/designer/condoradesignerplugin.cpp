#include "control/designer/condoradesignerplugin.h"

#include "control/designer/condorapropertysheetfactory.h"

#include "control/condora.h"
#include "control/magnifyingglass.h"

#include <QIcon>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QPixmap>

using namespace Qt::StringLiterals;

namespace condora {

CondoraDesignerPlugin::CondoraDesignerPlugin(QObject *parent)
    : QObject(parent)
{
}

QString CondoraDesignerPlugin::name() const
{
    return u"Condora"_s;
}

QString CondoraDesignerPlugin::group() const
{
    return u"Condora"_s;
}

QString CondoraDesignerPlugin::toolTip() const
{
    return u"Condora query-condition builder"_s;
}

QString CondoraDesignerPlugin::whatsThis() const
{
    return u"Give it a connection (ConnObj) and a base SELECT statement (SqlInput); GetQuerySql and "
           u"GetQueryResult let the user build a WHERE condition and return the final statement or its rows."_s;
}

QString CondoraDesignerPlugin::includeFile() const
{
    return u"<Condora/condora.h>"_s;
}

QIcon CondoraDesignerPlugin::icon() const
{
    return QIcon(QPixmap::fromImage(magnifyingGlassToolboxImage()));
}

bool CondoraDesignerPlugin::isContainer() const
{
    return false;
}

QWidget *CondoraDesignerPlugin::createWidget(QWidget *parent)
{
    return new Condora(parent);
}

bool CondoraDesignerPlugin::isInitialized() const
{
    return m_initialized;
}

void CondoraDesignerPlugin::initialize(QDesignerFormEditorInterface *core)
{
    if (m_initialized) {
        return;
    }
    if (core) {
        CondoraPropertySheetFactory::registerWith(core->extensionManager());
    }
    m_initialized = true;
}

QString CondoraDesignerPlugin::domXml() const
{
    return uR"(<ui language="c++">
 <widget class="Condora" name="condora">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>31</width><height>32</height></rect>
  </property>
 </widget>
</ui>
)"_s;
}

} // namespace condora
