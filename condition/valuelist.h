#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace condora {

/// The Value cell of a row that takes several values ("between", "in", "not in"): the values
/// separated by commas, blanks around each one ignored. A value that holds a comma or a double
/// quote, starts or ends with a blank, or is empty is written in double quotes, with each
/// double quote inside doubled:  10, 20   or   "Smith, John", O'Brien, "say ""hi"""
///
/// The values of `cell` in order, or nullopt when the text is no such list: a quote left open,
/// text after a closing quote, or an empty unquoted value ("a,,b", a trailing comma). An empty
/// or blank cell is an empty list.
std::optional<QStringList> splitValueList(const QString &cell);

/// `values` written as a Value cell that splitValueList() reads back to the same values.
QString joinValueList(const QStringList &values);

} // namespace condora
