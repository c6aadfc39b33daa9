#pragma once

#include "condora_export.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace condora {

enum class MessageButtons { Ok, OkCancel };
enum class MessageIcon { None, Exclamation, Question };
enum class MessageDefault { First, Second };
enum class MessageAnswer { Ok, Cancel };
/// The screen mouse pointer: one level, not a stack. Values are the classic pointer numbers.
enum class MousePointer { Default = 0, Hourglass = 11 };

/// One message box as the library asks for it. An empty `caption` with `explicitCaption`
/// false means "no caption of its own": the box then shows defaultCaption().
struct MessageRequest
{
    QString text;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    QString caption;
    bool explicitCaption = false;
    MessageDefault defaultButton = MessageDefault::First;
};

/// Everything the library asks of the user interface besides its own windows: message
/// boxes, the screen mouse pointer, processing pending events, and moving the focus on.
/// One process-wide instance is in use; tests install a RecordingUserInteraction.
class CONDORA_EXPORT UserInteraction
{
public:
    virtual ~UserInteraction();

    virtual MessageAnswer messageBox(const MessageRequest &request) = 0;
    virtual void setMousePointer(MousePointer pointer) = 0;
    virtual MousePointer mousePointer() const = 0;
    virtual void processEvents() = 0;
    /// Moves the keyboard focus to the next control in the tab order, as a Tab keystroke does.
    virtual void sendTab() = 0;

    /// The instance in use (the Qt implementation unless one was installed).
    static UserInteraction &instance();
    /// Installs `service` (not owned; nullptr restores the Qt implementation).
    static void setInstance(UserInteraction *service);

    /// The caption of message boxes shown without an explicit caption (empty at start).
    static QString defaultCaption();
    static void setDefaultCaption(const QString &caption);
};

/// Convenience: a message box with no explicit caption.
CONDORA_EXPORT MessageAnswer messageBox(const QString &text, MessageButtons buttons = MessageButtons::Ok,
                                        MessageIcon icon = MessageIcon::None,
                                        MessageDefault defaultButton = MessageDefault::First);
/// Convenience: a message box with an explicit caption.
CONDORA_EXPORT MessageAnswer messageBox(const QString &text, MessageButtons buttons, MessageIcon icon,
                                        const QString &caption,
                                        MessageDefault defaultButton = MessageDefault::First);

/// The real thing: QMessageBox, the application's override cursor, QCoreApplication::processEvents.
class CONDORA_EXPORT QtUserInteraction : public UserInteraction
{
public:
    MessageAnswer messageBox(const MessageRequest &request) override;
    void setMousePointer(MousePointer pointer) override;
    MousePointer mousePointer() const override;
    void processEvents() override;
    void sendTab() override;

private:
    MousePointer m_pointer = MousePointer::Default;
};

/// For tests: records every request and answers message boxes without showing anything.
/// Answers are taken from the queue given to queueAnswer(); when it is empty, the box
/// answers defaultAnswer() (Ok). An optional hook runs when a box is "shown", so a test
/// can look at the state of the program at that moment. Installs itself on construction
/// and restores the previous instance on destruction.
class CONDORA_EXPORT RecordingUserInteraction : public UserInteraction
{
public:
    RecordingUserInteraction();
    ~RecordingUserInteraction() override;
    RecordingUserInteraction(const RecordingUserInteraction &) = delete;
    RecordingUserInteraction &operator=(const RecordingUserInteraction &) = delete;

    MessageAnswer messageBox(const MessageRequest &request) override;
    void setMousePointer(MousePointer pointer) override;
    MousePointer mousePointer() const override;
    void processEvents() override;
    void sendTab() override;

    void queueAnswer(MessageAnswer answer) { m_answers.append(answer); }
    void setDefaultAnswer(MessageAnswer answer) { m_defaultAnswer = answer; }
    MessageAnswer defaultAnswer() const { return m_defaultAnswer; }
    void setOnMessage(std::function<void(const MessageRequest &)> hook) { m_onMessage = std::move(hook); }

    const QList<MessageRequest> &messages() const { return m_messages; }
    /// The texts of all boxes shown so far.
    QStringList texts() const;
    /// The caption each box showed (its own, or the default caption when it had none).
    QStringList shownCaptions() const { return m_shownCaptions; }
    QList<MousePointer> pointerHistory() const { return m_pointerHistory; }
    int processEventsCount() const { return m_processEventsCount; }
    int sendTabCount() const { return m_sendTabCount; }
    /// Also really moves the focus when true (GUI tests of Enter handling).
    void setForwardSendTab(bool forward) { m_forwardSendTab = forward; }
    void clear();

private:
    UserInteraction *m_previous = nullptr;
    QList<MessageRequest> m_messages;
    QStringList m_shownCaptions;
    QList<MessageAnswer> m_answers;
    MessageAnswer m_defaultAnswer = MessageAnswer::Ok;
    std::function<void(const MessageRequest &)> m_onMessage;
    MousePointer m_pointer = MousePointer::Default;
    QList<MousePointer> m_pointerHistory;
    int m_processEventsCount = 0;
    int m_sendTabCount = 0;
    bool m_forwardSendTab = false;
};

} // namespace condora
