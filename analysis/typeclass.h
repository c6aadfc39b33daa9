#pragma once

#include <QString>

namespace condora {

/// What a column holds, as far as conditions care: it chooses the operators offered, the value
/// checks and the literal form. Columns of class Other are never offered. None: not read yet
/// (the unused catalog position 0, or a column whose type was not read).
enum class TypeClass { None, Number, Boolean, Date, String, LongString, Other };

/// "number", "boolean", "date", "string", "lstring", "other"; empty for None.
QString typeClassText(TypeClass typeClass);
/// The reverse of typeClassText(), ignoring case and surrounding spaces; None for any other text.
TypeClass typeClassFromText(const QString &text);
/// The class of a data type number (the DataTypeEnum numbers fields report).
TypeClass typeClassOf(int typeNumber);

/// String and LongString: the classes whose values are text literals.
inline bool isTextClass(TypeClass typeClass)
{
    return typeClass == TypeClass::String || typeClass == TypeClass::LongString;
}

} // namespace condora
