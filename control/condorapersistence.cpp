// The control's properties: defaults, and saving to and loading from a property bag.

#include "control/condora.h"

#include "control/propertybag.h"
#include "platform/runtimeerror.h"

#include <QApplication>
#include <QBuffer>

#include <limits>

using namespace Qt::StringLiterals;
using condora::FontHandle;
using condora::OleColor;
using condora::PictureHandle;
using condora::PropertyBag;

namespace {

// The colour defaults: system colours follow the user's current colours.
constexpr OleColor DefaultLabelBackColor = OleColor::ButtonFace;
constexpr OleColor DefaultLabelForeColor = OleColor::ButtonText;
constexpr OleColor DefaultGridColor = OleColor::ButtonText;
constexpr OleColor DefaultGridColorFixed = OleColor::fromRgb(192, 192, 192);
constexpr OleColor DefaultGridColorUnpopulated = OleColor::fromRgb(192, 192, 192);
constexpr OleColor DefaultGridForeColor = OleColor::WindowText;
constexpr OleColor DefaultGridForeColorFixed = OleColor::ButtonText;
constexpr OleColor DefaultFormBackColor = OleColor::ButtonFace;
constexpr OleColor DefaultButtonBackColor = OleColor::ButtonFace;
constexpr OleColor DefaultGridForeColorSel = OleColor::HighlightText;
constexpr OleColor DefaultGridBackColor = OleColor::WindowBackground;
constexpr OleColor DefaultGridBackColorBkg = OleColor::ButtonFace;
constexpr OleColor DefaultGridBackColorFixed = OleColor::ButtonFace;
constexpr OleColor DefaultGridBackColorSel = OleColor::Highlight;
constexpr OleColor DefaultGridBackColorUnpopulated = OleColor::ButtonFace;

condora::RuntimeError unreadable(const QString &name)
{
    return condora::RuntimeError::typeMismatch(u"The stored value of %1 cannot be read."_s.arg(name));
}

// Stored forms ------------------------------------------------------------------------------

QVariant storedColor(OleColor color)
{
    return QVariant::fromValue(uint(color.value()));
}

QVariant storedFont(const FontHandle &font)
{
    return font ? QVariant(font->toString()) : QVariant();
}

// An empty picture has nothing to store: it is kept like "no picture".
QVariant storedPicture(const PictureHandle &picture)
{
    if (!picture || picture->isNull()) {
        return QVariant();
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture->save(&buffer, "PNG");
    return bytes;
}

// Reading back (stores such as INI files hand everything back as text) ---------------------------

bool readBool(const PropertyBag &bag, const QString &name, bool defaultValue)
{
    const QVariant value = bag.read(name, defaultValue);
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == u"true"_s) {
        return true;
    }
    if (text == u"false"_s) {
        return false;
    }
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!ok) {
        throw unreadable(name);
    }
    return number != 0;
}

QString readText(const PropertyBag &bag, const QString &name)
{
    const QVariant value = bag.read(name, QString());
    // An INI file reads an unquoted text with commas as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(u", "_s);
    }
    return value.toString();
}

OleColor readColor(const PropertyBag &bag, const QString &name, OleColor defaultValue)
{
    const QVariant value = bag.read(name, storedColor(defaultValue));
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    // Signed 32-bit forms of the system colours (-2147483633) are accepted as well.
    if (!ok || number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<quint32>::max()) {
        throw unreadable(name);
    }
    return OleColor(quint32(number));
}

FontHandle readFont(const PropertyBag &bag, const QString &name, const QFont &ambient)
{
    const QVariant value = bag.read(name, QVariant());
    if (!value.isValid()) {
        return std::make_shared<QFont>(ambient);
    }
    auto font = std::make_shared<QFont>();
    if (!font->fromString(value.toString())) {
        throw unreadable(name);
    }
    return font;
}

PictureHandle readPicture(const PropertyBag &bag, const QString &name)
{
    const QVariant value = bag.read(name, QVariant());
    if (!value.isValid()) {
        return nullptr;
    }
    auto picture = std::make_shared<QPixmap>();
    if (!picture->loadFromData(value.toByteArray())) {
        throw unreadable(name);
    }
    return picture;
}

} // namespace

QFont Condora::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

void Condora::initProperties()
{
    m_enabled = false;
    m_title.clear();
    m_sqlInput.clear();
    // Each font is its own object, taken from its own request for the ambient font.
    m_buttonFont = std::make_shared<QFont>(ambientFont());
    m_labelFont = std::make_shared<QFont>(ambientFont());
    m_labelBackColor = DefaultLabelBackColor;
    m_labelForeColor = DefaultLabelForeColor;
    m_gridColor = DefaultGridColor;
    m_gridColorFixed = DefaultGridColorFixed;
    m_gridColorUnpopulated = DefaultGridColorUnpopulated;
    m_gridForeColor = DefaultGridForeColor;
    m_gridForeColorFixed = DefaultGridForeColorFixed;
    m_formBackColor = DefaultFormBackColor;
    m_formPicture = std::make_shared<QPixmap>();
    m_buttonBackColor = DefaultButtonBackColor;
    m_gridFont = std::make_shared<QFont>(ambientFont());
    m_gridFontFixed = std::make_shared<QFont>(ambientFont());
    m_buttonPicture = std::make_shared<QPixmap>();
    m_gridForeColorSel = DefaultGridForeColorSel;
    m_gridBackColor = DefaultGridBackColor;
    m_gridBackColorBkg = DefaultGridBackColorBkg;
    m_gridBackColorFixed = DefaultGridBackColorFixed;
    m_gridBackColorSel = DefaultGridBackColorSel;
    m_gridBackColorUnpopulated = DefaultGridBackColorUnpopulated;
}

void Condora::writeProperties(PropertyBag &bag) const
{
    const QVariant ambient = storedFont(std::make_shared<QFont>(ambientFont()));
    bag.write(u"Enabled"_s, m_enabled, false);
    bag.write(u"Title"_s, m_title, QString());
    bag.write(u"SqlInput"_s, m_sqlInput, QString());
    bag.write(u"ButtonFont"_s, storedFont(m_buttonFont), QVariant());
    bag.write(u"LabelFont"_s, storedFont(m_labelFont), ambient);
    bag.write(u"LabelBackColor"_s, storedColor(m_labelBackColor), storedColor(DefaultLabelBackColor));
    bag.write(u"LabelForeColor"_s, storedColor(m_labelForeColor), storedColor(DefaultLabelForeColor));
    bag.write(u"GridColor"_s, storedColor(m_gridColor), storedColor(DefaultGridColor));
    bag.write(u"GridColorFixed"_s, storedColor(m_gridColorFixed), storedColor(DefaultGridColorFixed));
    bag.write(u"GridColorUnpopulated"_s, storedColor(m_gridColorUnpopulated),
              storedColor(DefaultGridColorUnpopulated));
    bag.write(u"GridForeColor"_s, storedColor(m_gridForeColor), storedColor(DefaultGridForeColor));
    bag.write(u"GridForeColorFixed"_s, storedColor(m_gridForeColorFixed), storedColor(DefaultGridForeColorFixed));
    bag.write(u"FormBackColor"_s, storedColor(m_formBackColor), storedColor(DefaultFormBackColor));
    bag.write(u"FormPicture"_s, storedPicture(m_formPicture), QVariant());
    bag.write(u"ButtonBackColor"_s, storedColor(m_buttonBackColor), storedColor(DefaultButtonBackColor));
    bag.write(u"GridFont"_s, storedFont(m_gridFont), ambient);
    bag.write(u"GridFontFixed"_s, storedFont(m_gridFontFixed), ambient);
    bag.write(u"ButtonPicture"_s, storedPicture(m_buttonPicture), QVariant());
    bag.write(u"GridForeColorSel"_s, storedColor(m_gridForeColorSel), storedColor(DefaultGridForeColorSel));
    bag.write(u"GridBackColor"_s, storedColor(m_gridBackColor), storedColor(DefaultGridBackColor));
    bag.write(u"GridBackColorBkg"_s, storedColor(m_gridBackColorBkg), storedColor(DefaultGridBackColorBkg));
    bag.write(u"GridBackColorFixed"_s, storedColor(m_gridBackColorFixed), storedColor(DefaultGridBackColorFixed));
    bag.write(u"GridBackColorSel"_s, storedColor(m_gridBackColorSel), storedColor(DefaultGridBackColorSel));
    bag.write(u"GridBackColorUnpopulated"_s, storedColor(m_gridBackColorUnpopulated),
              storedColor(DefaultGridBackColorUnpopulated));
}

void Condora::readProperties(const PropertyBag &bag)
{
    const QFont ambient = ambientFont();
    m_enabled = readBool(bag, u"Enabled"_s, false);
    m_title = readText(bag, u"Title"_s);
    m_sqlInput = readText(bag, u"SqlInput"_s);
    m_buttonFont = readFont(bag, u"ButtonFont"_s, ambient);
    m_labelFont = readFont(bag, u"LabelFont"_s, ambient);
    m_labelBackColor = readColor(bag, u"LabelBackColor"_s, DefaultLabelBackColor);
    m_labelForeColor = readColor(bag, u"LabelForeColor"_s, DefaultLabelForeColor);
    m_gridColor = readColor(bag, u"GridColor"_s, DefaultGridColor);
    m_gridColorFixed = readColor(bag, u"GridColorFixed"_s, DefaultGridColorFixed);
    m_gridColorUnpopulated = readColor(bag, u"GridColorUnpopulated"_s, DefaultGridColorUnpopulated);
    m_gridForeColor = readColor(bag, u"GridForeColor"_s, DefaultGridForeColor);
    m_gridForeColorFixed = readColor(bag, u"GridForeColorFixed"_s, DefaultGridForeColorFixed);
    m_formBackColor = readColor(bag, u"FormBackColor"_s, DefaultFormBackColor);
    m_formPicture = readPicture(bag, u"FormPicture"_s);
    m_buttonBackColor = readColor(bag, u"ButtonBackColor"_s, DefaultButtonBackColor);
    m_gridFont = readFont(bag, u"GridFont"_s, ambient);
    m_gridFontFixed = readFont(bag, u"GridFontFixed"_s, ambient);
    m_buttonPicture = readPicture(bag, u"ButtonPicture"_s);
    m_gridForeColorSel = readColor(bag, u"GridForeColorSel"_s, DefaultGridForeColorSel);
    m_gridBackColor = readColor(bag, u"GridBackColor"_s, DefaultGridBackColor);
    m_gridBackColorBkg = readColor(bag, u"GridBackColorBkg"_s, DefaultGridBackColorBkg);
    m_gridBackColorFixed = readColor(bag, u"GridBackColorFixed"_s, DefaultGridBackColorFixed);
    m_gridBackColorSel = readColor(bag, u"GridBackColorSel"_s, DefaultGridBackColorSel);
    m_gridBackColorUnpopulated = readColor(bag, u"GridBackColorUnpopulated"_s, DefaultGridBackColorUnpopulated);
}
