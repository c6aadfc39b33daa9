#include "analysis/typeclass.h"

#include "platform/ado/recordset.h"

using namespace Qt::StringLiterals;

namespace condora {

QString typeClassText(TypeClass typeClass)
{
    switch (typeClass) {
    case TypeClass::Number:
        return u"number"_s;
    case TypeClass::Boolean:
        return u"boolean"_s;
    case TypeClass::Date:
        return u"date"_s;
    case TypeClass::String:
        return u"string"_s;
    case TypeClass::LongString:
        return u"lstring"_s;
    case TypeClass::Other:
        return u"other"_s;
    case TypeClass::None:
        break;
    }
    return QString();
}

TypeClass typeClassFromText(const QString &text)
{
    const QString word = text.trimmed().toLower();
    for (TypeClass typeClass : {TypeClass::Number, TypeClass::Boolean, TypeClass::Date, TypeClass::String,
                                TypeClass::LongString, TypeClass::Other}) {
        if (typeClassText(typeClass) == word) {
            return typeClass;
        }
    }
    return TypeClass::None;
}

TypeClass typeClassOf(int typeNumber)
{
    switch (typeNumber) {
    case ado::adSmallInt:
    case ado::adInteger:
    case ado::adSingle:
    case ado::adDouble:
    case ado::adCurrency:
    case ado::adDecimal:
    case ado::adTinyInt:
    case ado::adUnsignedTinyInt:
    case ado::adUnsignedSmallInt:
    case ado::adUnsignedInt:
    case ado::adBigInt:
    case ado::adUnsignedBigInt:
    case ado::adNumeric:
    case ado::adVarNumeric:
        return TypeClass::Number;
    case ado::adDate:
    case ado::adFileTime:
    case ado::adDBDate:
    case ado::adDBTimeStamp:
        return TypeClass::Date;
    // A time of day (adDBTime) is compared as text, not as a date.
    case ado::adBSTR:
    case ado::adError:
    case ado::adVariant:
    case ado::adChar:
    case ado::adWChar:
    case ado::adDBTime:
    case ado::adVarChar:
    case ado::adVarWChar:
        return TypeClass::String;
    case ado::adBoolean:
        return TypeClass::Boolean;
    case ado::adLongVarChar:
    case ado::adLongVarWChar:
        return TypeClass::LongString;
    default:
        return TypeClass::Other;
    }
}

} // namespace condora
