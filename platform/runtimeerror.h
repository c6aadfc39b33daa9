#pragma once

#include "condora_export.h"

#include <QString>

#include <exception>

namespace condora {

/// Run-time error numbers raised by the library. The numbers follow the classic
/// automation run-time numbering, so an error report reads the same for hosts that
/// know it:
///   5           invalid procedure call or argument (negative length, start below 1, bad value)
///   9           subscript out of range (list position, grid row or column outside its bounds)
///   13          type mismatch (a value of the wrong kind, e.g. a non-connection object)
///   91          object variable not set (operation on a missing or closed object)
///   -2147217900 database error (0x80040E14): the database rejected a statement or a
///               connection; the description is the database's own message
///   -2147217842 operation cancelled (0x80040E4E): the user stopped a running statement
namespace ErrorNumber {
///@{
/// An error number, as listed above.
inline constexpr int InvalidArgument = 5;
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int TypeMismatch = 13;
inline constexpr int ObjectNotSet = 91;
inline constexpr int Database = -2147217900;
inline constexpr int Cancelled = -2147217842;
///@}
} // namespace ErrorNumber

/// The one exception type of the library: a number and a description.
/// Platform operations throw it; the routines that trap errors catch it and report it.
class CONDORA_EXPORT RuntimeError : public std::exception
{
public:
    /// An error with its number (see ErrorNumber) and description.
    RuntimeError(int number, QString description);

    /// The error's number.
    int number() const noexcept { return m_number; }
    /// The error's description (for a database error, the database's own message).
    QString description() const { return m_description; }
    /// The description, for code that reads std::exception.
    const char *what() const noexcept override;

    ///@{
    /// Standard errors with the library's default descriptions.
    static RuntimeError invalidArgument(const QString &detail = QString());
    static RuntimeError subscriptOutOfRange(const QString &detail = QString());
    static RuntimeError typeMismatch(const QString &detail = QString());
    static RuntimeError objectNotSet(const QString &detail = QString());
    static RuntimeError database(const QString &databaseMessage);
    ///@}

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace condora
