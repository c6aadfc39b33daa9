#include "control/designer/condorapropertysheet.h"

#include "platform/dialogstyle.h"
#include "control/condora.h"
#include "platform/olecolor.h"

#include <QColor>
#include <QFont>
#include <QPixmap>

// Designer's own value type for pixmap properties: its property editor offers an image
// chooser (files and resources) for it and writes it to the form as a path.
#include <QtDesigner/private/qdesigner_utils_p.h>

using namespace Qt::StringLiterals;

namespace condora {

CondoraPropertySheet::CondoraPropertySheet(Condora *control, QDesignerPropertySheetExtension *designerSheet,
                                           QObject *parent)
    : QObject(parent)
    , m_control(control)
    , m_designerSheet(designerSheet)
    , m_designerSheetObject(dynamic_cast<QObject *>(designerSheet))
{
    // The colour defaults, read from a control as it is newly placed on a form.
    const Condora fresh;
    for (int index = 0; index < designerSheet->count(); ++index) {
        const QVariant value = fresh.property(designerSheet->propertyName(index).toLatin1().constData());
        if (value.metaType() == QMetaType::fromType<OleColor>()) {
            m_defaultColors.insert(index, value.value<OleColor>().value());
        }
    }
    // Designer deletes its sheet together with the control; from then on this sheet is empty.
    if (m_designerSheetObject) {
        connect(m_designerSheetObject, &QObject::destroyed, this, [this] {
            m_designerSheet = nullptr;
            m_designerSheetObject = nullptr;
        });
    }
}

QVariant CondoraPropertySheet::toEditorValue(const QVariant &value, const Condora *control)
{
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<OleColor>()) {
        return QVariant::fromValue(value.value<OleColor>().toColor());
    }
    if (type == QMetaType::fromType<FontHandle>()) {
        // No font object reads as the font the control would take for a new one.
        const FontHandle font = value.value<FontHandle>();
        return QVariant::fromValue(font ? *font : (control ? control->ambientFont() : QFont()));
    }
    return {};
}

QVariant CondoraPropertySheet::fromEditorValue(const QVariant &edited, const QVariant &stored)
{
    const QMetaType type = stored.metaType();
    if (type == QMetaType::fromType<OleColor>()) {
        if (edited.metaType() == QMetaType::fromType<OleColor>()) {
            return edited;
        }
        if (edited.metaType() == QMetaType::fromType<QColor>()) {
            const QColor color = edited.value<QColor>();
            return color.isValid() ? QVariant::fromValue(OleColor::fromColor(color)) : QVariant();
        }
        return {};
    }
    if (type == QMetaType::fromType<FontHandle>()) {
        if (edited.metaType() == QMetaType::fromType<FontHandle>()) {
            return edited;
        }
        if (edited.metaType() == QMetaType::fromType<QFont>()) {
            // A new font object each time, so no two properties ever share the edited font.
            return QVariant::fromValue(std::make_shared<QFont>(edited.value<QFont>()));
        }
        return {};
    }
    return {};
}

bool CondoraPropertySheet::isPicture(int index) const
{
    return m_designerSheet && m_designerSheet->property(index).metaType() == QMetaType::fromType<PictureHandle>();
}

bool CondoraPropertySheet::isPresented(int index) const
{
    return m_designerSheet
           && (isPicture(index) || toEditorValue(m_designerSheet->property(index), m_control).isValid());
}

int CondoraPropertySheet::count() const
{
    return m_designerSheet ? m_designerSheet->count() : 0;
}

int CondoraPropertySheet::indexOf(const QString &name) const
{
    return m_designerSheet ? m_designerSheet->indexOf(name) : -1;
}

QString CondoraPropertySheet::propertyName(int index) const
{
    return m_designerSheet ? m_designerSheet->propertyName(index) : QString();
}

QString CondoraPropertySheet::propertyGroup(int index) const
{
    return m_designerSheet ? m_designerSheet->propertyGroup(index) : QString();
}

void CondoraPropertySheet::setPropertyGroup(int index, const QString &group)
{
    if (m_designerSheet) {
        m_designerSheet->setPropertyGroup(index, group);
    }
}

bool CondoraPropertySheet::hasReset(int index) const
{
    return m_designerSheet && m_designerSheet->hasReset(index);
}

bool CondoraPropertySheet::reset(int index)
{
    m_picturePaths.remove(index);
    return m_designerSheet && m_designerSheet->reset(index);
}

bool CondoraPropertySheet::isVisible(int index) const
{
    if (!m_designerSheet) {
        return false;
    }
    // A connection is an object the host hands over at run time; it cannot be designed.
    if (m_designerSheet->propertyName(index) == "ConnObj"_L1) {
        return false;
    }
    return isPresented(index) || m_designerSheet->isVisible(index);
}

void CondoraPropertySheet::setVisible(int index, bool b)
{
    if (m_designerSheet) {
        m_designerSheet->setVisible(index, b);
    }
}

bool CondoraPropertySheet::isAttribute(int index) const
{
    return m_designerSheet && m_designerSheet->isAttribute(index);
}

void CondoraPropertySheet::setAttribute(int index, bool b)
{
    if (m_designerSheet) {
        m_designerSheet->setAttribute(index, b);
    }
}

QVariant CondoraPropertySheet::property(int index) const
{
    if (!m_designerSheet) {
        return {};
    }
    if (isPicture(index)) {
        return QVariant::fromValue(qdesigner_internal::PropertySheetPixmapValue(m_picturePaths.value(index)));
    }
    const QVariant stored = m_designerSheet->property(index);
    const QVariant shown = toEditorValue(stored, m_control);
    return shown.isValid() ? shown : stored;
}

void CondoraPropertySheet::setProperty(int index, const QVariant &value)
{
    if (!m_designerSheet) {
        return;
    }
    if (isPicture(index)) {
        if (value.metaType() == QMetaType::fromType<qdesigner_internal::PropertySheetPixmapValue>()) {
            // A new picture object from the chosen image; the empty path gives an empty picture.
            // An image that cannot be read also gives an empty picture, and the path is kept
            // so the form still names it.
            const QString path = value.value<qdesigner_internal::PropertySheetPixmapValue>().path();
            m_picturePaths.insert(index, path);
            auto picture = std::make_shared<QPixmap>();
            if (!path.isEmpty()) {
                picture->load(path);
            }
            m_designerSheet->setProperty(index, QVariant::fromValue(PictureHandle(picture)));
        } else if (value.metaType() == QMetaType::fromType<PictureHandle>()) {
            m_picturePaths.remove(index);
            m_designerSheet->setProperty(index, value);
        }
        return;
    }
    const QVariant stored = m_designerSheet->property(index);
    if (!toEditorValue(stored, m_control).isValid()) {
        m_designerSheet->setProperty(index, value);
        return;
    }
    // A value the property cannot hold (an invalid colour, another type) leaves it unchanged.
    QVariant converted = fromEditorValue(value, stored);
    const auto defaultColor = m_defaultColors.constFind(index);
    if (converted.isValid() && value.metaType() == QMetaType::fromType<QColor>()
        && defaultColor != m_defaultColors.constEnd()) {
        const OleColor byDefault(*defaultColor);
        if (byDefault.isSystem() && value.value<QColor>().rgb() == byDefault.toColor().rgb()) {
            converted = QVariant::fromValue(byDefault);
        }
    }
    if (converted.isValid()) {
        m_designerSheet->setProperty(index, converted);
    }
}

bool CondoraPropertySheet::isChanged(int index) const
{
    return m_designerSheet && m_designerSheet->isChanged(index);
}

void CondoraPropertySheet::setChanged(int index, bool changed)
{
    if (m_designerSheet) {
        m_designerSheet->setChanged(index, changed);
    }
}

bool CondoraPropertySheet::isEnabled(int index) const
{
    return m_designerSheet && m_designerSheet->isEnabled(index);
}

} // namespace condora
