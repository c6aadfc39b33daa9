// The control's properties: defaults, and saving to and loading from a property bag.

#include "control/condora.h"

#include "control/condora_p.h"
#include "control/errorvalue_p.h"
#include "control/propertybag.h"
#include "platform/runtimeerror.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>

#include <limits>
#include <variant>

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
    return condora::RuntimeError::typeMismatch(
        QCoreApplication::translate("Condora", "The stored value of %1 cannot be read.").arg(name));
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

using condora::DialogStyle;

/// The persisted properties in their fixed order. Colours carry their default; fonts default
/// to the ambient font, except ButtonFont, which has no default and is always stored; pictures
/// default to an empty picture, stored as nothing.
struct PropertyEntry
{
    QString name;
    std::variant<bool CondoraPrivate::*, QString CondoraPrivate::*, OleColor DialogStyle::*, FontHandle DialogStyle::*,
                 PictureHandle DialogStyle::*>
        member;
    OleColor defaultColor = OleColor();
    bool alwaysStored = false;
};

const QList<PropertyEntry> &propertyTable()
{
    static const QList<PropertyEntry> table{
        {u"Enabled"_s, &CondoraPrivate::enabled},
        {u"Title"_s, &CondoraPrivate::title},
        {u"SqlInput"_s, &CondoraPrivate::sqlInput},
        {u"ButtonFont"_s, &DialogStyle::ButtonFont, OleColor(), true},
        {u"LabelFont"_s, &DialogStyle::LabelFont},
        {u"LabelBackColor"_s, &DialogStyle::LabelBackColor, DefaultLabelBackColor},
        {u"LabelForeColor"_s, &DialogStyle::LabelForeColor, DefaultLabelForeColor},
        {u"GridColor"_s, &DialogStyle::GridColor, DefaultGridColor},
        {u"GridColorFixed"_s, &DialogStyle::GridColorFixed, DefaultGridColorFixed},
        {u"GridColorUnpopulated"_s, &DialogStyle::GridColorUnpopulated, DefaultGridColorUnpopulated},
        {u"GridForeColor"_s, &DialogStyle::GridForeColor, DefaultGridForeColor},
        {u"GridForeColorFixed"_s, &DialogStyle::GridForeColorFixed, DefaultGridForeColorFixed},
        {u"FormBackColor"_s, &DialogStyle::FormBackColor, DefaultFormBackColor},
        {u"FormPicture"_s, &DialogStyle::FormPicture},
        {u"ButtonBackColor"_s, &DialogStyle::ButtonBackColor, DefaultButtonBackColor},
        {u"GridFont"_s, &DialogStyle::GridFont},
        {u"GridFontFixed"_s, &DialogStyle::GridFontFixed},
        {u"ButtonPicture"_s, &DialogStyle::ButtonPicture},
        {u"GridForeColorSel"_s, &DialogStyle::GridForeColorSel, DefaultGridForeColorSel},
        {u"GridBackColor"_s, &DialogStyle::GridBackColor, DefaultGridBackColor},
        {u"GridBackColorBkg"_s, &DialogStyle::GridBackColorBkg, DefaultGridBackColorBkg},
        {u"GridBackColorFixed"_s, &DialogStyle::GridBackColorFixed, DefaultGridBackColorFixed},
        {u"GridBackColorSel"_s, &DialogStyle::GridBackColorSel, DefaultGridBackColorSel},
        {u"GridBackColorUnpopulated"_s, &DialogStyle::GridBackColorUnpopulated, DefaultGridBackColorUnpopulated},
        {u"ShowSql"_s, &CondoraPrivate::showSql},
        {u"KeepCondition"_s, &CondoraPrivate::keepCondition},
        {u"CountRows"_s, &CondoraPrivate::countRows},
        {u"MoreOperators"_s, &CondoraPrivate::moreOperators},
        {u"DateEditor"_s, &CondoraPrivate::dateEditor},
        {u"RecentConditions"_s, &CondoraPrivate::recentConditions},
        {u"RecentConditionList"_s, &CondoraPrivate::recentList},
        {u"LiveCount"_s, &CondoraPrivate::liveCount},
        {u"FastValueLists"_s, &CondoraPrivate::fastValueLists},
    };
    return table;
}

template<typename... Ts>
struct Overloaded : Ts...
{
    using Ts::operator()...;
};

} // namespace

QFont Condora::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

void Condora::initProperties()
{
    CondoraPrivate &p = *d;
    for (const PropertyEntry &entry : propertyTable()) {
        std::visit(Overloaded{
                       [&](bool CondoraPrivate::*member) { p.*member = false; },
                       [&](QString CondoraPrivate::*member) { (p.*member).clear(); },
                       [&](OleColor DialogStyle::*member) { p.style.*member = entry.defaultColor; },
                       // Each font is its own object, taken from its own request for the ambient font.
                       [&](FontHandle DialogStyle::*member) { p.style.*member = std::make_shared<QFont>(ambientFont()); },
                       [&](PictureHandle DialogStyle::*member) { p.style.*member = std::make_shared<QPixmap>(); },
                   },
                   entry.member);
    }
}

void Condora::writeProperties(PropertyBag &bag) const
{
    const CondoraPrivate &p = *d;
    const QVariant ambient = storedFont(std::make_shared<QFont>(ambientFont()));
    for (const PropertyEntry &entry : propertyTable()) {
        std::visit(Overloaded{
                       [&](bool CondoraPrivate::*member) { bag.write(entry.name, p.*member, false); },
                       [&](QString CondoraPrivate::*member) { bag.write(entry.name, p.*member, QString()); },
                       [&](OleColor DialogStyle::*member) {
                           bag.write(entry.name, storedColor(p.style.*member), storedColor(entry.defaultColor));
                       },
                       [&](FontHandle DialogStyle::*member) {
                           bag.write(entry.name, storedFont(p.style.*member), entry.alwaysStored ? QVariant() : ambient);
                       },
                       [&](PictureHandle DialogStyle::*member) {
                           bag.write(entry.name, storedPicture(p.style.*member), QVariant());
                       },
                   },
                   entry.member);
    }
}

void Condora::readProperties(const PropertyBag &bag)
{
    CondoraPrivate &p = *d;
    const QFont ambient = ambientFont();
    for (const PropertyEntry &entry : propertyTable()) {
        std::visit(Overloaded{
                       [&](bool CondoraPrivate::*member) { p.*member = readBool(bag, entry.name, false); },
                       [&](QString CondoraPrivate::*member) { p.*member = readText(bag, entry.name); },
                       [&](OleColor DialogStyle::*member) {
                           p.style.*member = readColor(bag, entry.name, entry.defaultColor);
                       },
                       [&](FontHandle DialogStyle::*member) { p.style.*member = readFont(bag, entry.name, ambient); },
                       [&](PictureHandle DialogStyle::*member) { p.style.*member = readPicture(bag, entry.name); },
                   },
                   entry.member);
    }
}

void Condora::readProperties(const PropertyBag &bag, bool *ok)
{
    d->lastError = QSqlError();
    try {
        readProperties(bag);
    } catch (...) {
        d->lastError = condora::currentErrorAsSqlError();
    }
    if (ok) {
        *ok = !d->lastError.isValid();
    }
}
