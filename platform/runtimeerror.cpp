#include "platform/runtimeerror.h"

namespace condora {

namespace {
QString withDetail(const char *base, const QString &detail)
{
    QString text = QString::fromLatin1(base);
    if (!detail.isEmpty()) {
        text += QLatin1String(": ") + detail;
    }
    return text;
}
} // namespace

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(m_description.toUtf8())
{
}

const char *RuntimeError::what() const noexcept
{
    return m_what.constData();
}

RuntimeError RuntimeError::invalidArgument(const QString &detail)
{
    return RuntimeError(ErrorNumber::InvalidArgument, withDetail("Invalid procedure call or argument", detail));
}

RuntimeError RuntimeError::subscriptOutOfRange(const QString &detail)
{
    return RuntimeError(ErrorNumber::SubscriptOutOfRange, withDetail("Subscript out of range", detail));
}

RuntimeError RuntimeError::typeMismatch(const QString &detail)
{
    return RuntimeError(ErrorNumber::TypeMismatch, withDetail("Type mismatch", detail));
}

RuntimeError RuntimeError::objectNotSet(const QString &detail)
{
    return RuntimeError(ErrorNumber::ObjectNotSet, withDetail("Object variable not set", detail));
}

RuntimeError RuntimeError::database(const QString &databaseMessage)
{
    return RuntimeError(ErrorNumber::Database, databaseMessage);
}

} // namespace condora
