#pragma once

#include "condora_export.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace condora {

/// The buttons of a message box: OK alone, or OK and Cancel.
enum class MessageButtons { Ok, OkCancel };
/// The icon of a message box.
enum class MessageIcon { None, Exclamation, Question };
/// The button Enter presses: the first or the second.
enum class MessageDefault { First, Second };
/// The button the user pressed.
enum class MessageAnswer { Ok, Cancel };
/// The screen mouse pointer: one level, not a stack. Values are the classic pointer numbers.
enum class MousePointer { Default = 0, Hourglass = 11 };

/// One message box as the library asks for it. An empty `caption` with `explicitCaption`
/// false means "no caption of its own": the box then shows defaultCaption().
struct MessageRequest
{
    QString text;                                         ///< the message, lines separated by CRLF
    MessageButtons buttons = MessageButtons::Ok;          ///< the buttons offered
    MessageIcon icon = MessageIcon::None;                 ///< the icon shown
    QString caption;                                      ///< the box's own caption
    bool explicitCaption = false;                         ///< true when `caption` is the box's own
    MessageDefault defaultButton = MessageDefault::First; ///< the button Enter presses
    QString detail; ///< shown under the text when not empty (where the message points to)
};

/// Everything the library asks of the user interface besides its own windows: message
/// boxes, the screen mouse pointer, processing pending events, and moving the focus on.
/// One process-wide instance is in use; tests install a RecordingUserInteraction.
class CONDORA_EXPORT UserInteraction
{
public:
    virtual ~UserInteraction();

    /// Shows a message box and returns the button the user pressed.
    virtual MessageAnswer messageBox(const MessageRequest &request) = 0;
    /// Sets the screen's mouse pointer (the busy pointer while a statement runs).
    virtual void setMousePointer(MousePointer pointer) = 0;
    /// The mouse pointer last set.
    virtual MousePointer mousePointer() const = 0;
    /// Lets pending window events through (a long grid fill does every 1000 rows).
    virtual void processEvents() = 0;
    /// Moves the keyboard focus to the next control in the tab order, as a Tab keystroke does.
    virtual void sendTab() = 0;

    /// The instance in use (the Qt implementation unless one was installed).
    static UserInteraction &instance();
    /// Installs `service` (not owned; nullptr restores the Qt implementation).
    static void setInstance(UserInteraction *service);

    ///@{
    /// The caption of message boxes shown without an explicit caption (empty at start).
    static QString defaultCaption();
    static void setDefaultCaption(const QString &caption);
    ///@}
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
    ///@{
    /// As UserInteraction describes it, with Qt's own widgets and cursor.
    MessageAnswer messageBox(const MessageRequest &request) override;
    void setMousePointer(MousePointer pointer) override;
    MousePointer mousePointer() const override;
    void processEvents() override;
    void sendTab() override;
    ///@}

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

    ///@{
    /// Recorded instead of shown; a message box takes the next queued answer.
    MessageAnswer messageBox(const MessageRequest &request) override;
    void setMousePointer(MousePointer pointer) override;
    MousePointer mousePointer() const override;
    void processEvents() override;
    void sendTab() override;
    ///@}

    /// Queues the answer of a coming message box.
    void queueAnswer(MessageAnswer answer) { m_answers.append(answer); }
    ///@{
    /// The answer of a message box when no answer is queued (Ok at start).
    void setDefaultAnswer(MessageAnswer answer) { m_defaultAnswer = answer; }
    MessageAnswer defaultAnswer() const { return m_defaultAnswer; }
    ///@}
    /// Runs `hook` when a message box is "shown", before it is answered.
    void setOnMessage(std::function<void(const MessageRequest &)> hook) { m_onMessage = std::move(hook); }

    /// Every message box asked for so far.
    const QList<MessageRequest> &messages() const { return m_messages; }
    /// The texts of all boxes shown so far.
    QStringList texts() const;
    /// The caption each box showed (its own, or the default caption when it had none).
    QStringList shownCaptions() const { return m_shownCaptions; }
    /// Every mouse pointer set so far, in order.
    QList<MousePointer> pointerHistory() const { return m_pointerHistory; }
    /// How often pending events were let through.
    int processEventsCount() const { return m_processEventsCount; }
    /// How often the focus was moved on.
    int sendTabCount() const { return m_sendTabCount; }
    /// Also really moves the focus when true (GUI tests of Enter handling).
    void setForwardSendTab(bool forward) { m_forwardSendTab = forward; }
    /// Forgets what was recorded.
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
