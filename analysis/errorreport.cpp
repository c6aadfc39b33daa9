#include "analysis/errorreport.h"

#include "platform/runtimeerror.h"
#include "platform/userinteraction.h"

#include <QCoreApplication>

#include <new>

using namespace Qt::StringLiterals;

namespace condora {

/// The report's texts, in the user's language.
struct ErrorReportTexts
{
    Q_DECLARE_TR_FUNCTIONS(condora::ErrorReport)
};

namespace {
// Classic run-time numbers for failures that do not come as a RuntimeError.
constexpr int OutOfMemory = 7;
constexpr int InternalError = 51;
} // namespace

QString unrecognisedSqlContext()
{
    return ErrorReportTexts::tr("Condora can't recognise this sql's format.Please change the sql's format.");
}

void showError(const QString &context, const RuntimeError &error)
{
    showError(context, error.number(), error.description());
}

void showError(const QString &context, int number, const QString &description)
{
    // The report is the last line of defence of a trapping routine: it must not throw itself.
    try {
        UserInteraction::instance().setMousePointer(MousePointer::Default);
        if (number == ErrorNumber::Cancelled) {
            // The user's own doing: no error, only what became of it.
            messageBox(ErrorReportTexts::tr("The statement was stopped before it finished; nothing was changed."));
            return;
        }
        const QString crlf = u"\r\n"_s;
        messageBox(ErrorReportTexts::tr("Error message:") + context + crlf + u" "_s + description + crlf
                   + ErrorReportTexts::tr("Error number:") + QString::number(number));
    } catch (...) {
    }
}

void showCurrentError(const QString &context)
{
    try {
        throw;
    } catch (const RuntimeError &error) {
        showError(context, error);
    } catch (const std::bad_alloc &) {
        showError(context, OutOfMemory, ErrorReportTexts::tr("Out of memory"));
    } catch (const std::exception &error) {
        showError(context, InternalError,
                  ErrorReportTexts::tr("Internal error: ") + QString::fromLocal8Bit(error.what()));
    } catch (...) {
        showError(context, InternalError, ErrorReportTexts::tr("Internal error"));
    }
}

} // namespace condora
