#include "platform/userinteraction.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace condora {

namespace {

QtUserInteraction &qtService()
{
    static QtUserInteraction service;
    return service;
}

UserInteraction *&installed()
{
    static UserInteraction *service = nullptr;
    return service;
}

QString &captionStore()
{
    static QString caption;
    return caption;
}

void postTab()
{
    QWidget *focus = QApplication::focusWidget();
    if (focus) {
        QCoreApplication::postEvent(focus, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
        QCoreApplication::postEvent(focus, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier));
    }
}

} // namespace

UserInteraction::~UserInteraction() = default;

UserInteraction &UserInteraction::instance()
{
    UserInteraction *service = installed();
    return service ? *service : static_cast<UserInteraction &>(qtService());
}

void UserInteraction::setInstance(UserInteraction *service)
{
    installed() = service;
}

QString UserInteraction::defaultCaption()
{
    return captionStore();
}

void UserInteraction::setDefaultCaption(const QString &caption)
{
    captionStore() = caption;
}

MessageAnswer messageBox(const QString &text, MessageButtons buttons, MessageIcon icon, MessageDefault defaultButton)
{
    MessageRequest request;
    request.text = text;
    request.buttons = buttons;
    request.icon = icon;
    request.defaultButton = defaultButton;
    return UserInteraction::instance().messageBox(request);
}

MessageAnswer messageBox(const QString &text, MessageButtons buttons, MessageIcon icon, const QString &caption,
                         MessageDefault defaultButton)
{
    MessageRequest request;
    request.text = text;
    request.buttons = buttons;
    request.icon = icon;
    request.caption = caption;
    request.explicitCaption = true;
    request.defaultButton = defaultButton;
    return UserInteraction::instance().messageBox(request);
}

MessageAnswer QtUserInteraction::messageBox(const MessageRequest &request)
{
    QMessageBox box(QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                      : QApplication::activeWindow());
    // Line breaks are the box's own: no carriage return reaches the label or its accessible name.
    box.setText(QString(request.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setInformativeText(request.detail);
    box.setWindowTitle(request.explicitCaption ? request.caption : UserInteraction::defaultCaption());
    switch (request.icon) {
    case MessageIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MessageIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    QPushButton *ok = box.addButton(QMessageBox::Ok);
    QPushButton *cancel = nullptr;
    if (request.buttons == MessageButtons::OkCancel) {
        cancel = box.addButton(QMessageBox::Cancel);
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(request.defaultButton == MessageDefault::Second && cancel ? cancel : ok);
    // A busy pointer must not hide the box's own pointer.
    const bool wasBusy = QApplication::overrideCursor() != nullptr;
    if (wasBusy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    box.exec();
    if (wasBusy) {
        QApplication::restoreOverrideCursor();
    }
    return box.clickedButton() == ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

void QtUserInteraction::setMousePointer(MousePointer pointer)
{
    if (pointer == m_pointer) {
        return;
    }
    if (m_pointer != MousePointer::Default) {
        QApplication::restoreOverrideCursor();
    }
    if (pointer == MousePointer::Hourglass) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    m_pointer = pointer;
}

MousePointer QtUserInteraction::mousePointer() const
{
    return m_pointer;
}

void QtUserInteraction::processEvents()
{
    QCoreApplication::processEvents();
}

void QtUserInteraction::sendTab()
{
    postTab();
}

RecordingUserInteraction::RecordingUserInteraction()
    : m_previous(installed())
{
    UserInteraction::setInstance(this);
}

RecordingUserInteraction::~RecordingUserInteraction()
{
    UserInteraction::setInstance(m_previous);
}

MessageAnswer RecordingUserInteraction::messageBox(const MessageRequest &request)
{
    m_messages.append(request);
    m_shownCaptions.append(request.explicitCaption ? request.caption : UserInteraction::defaultCaption());
    if (m_onMessage) {
        m_onMessage(request);
    }
    if (!m_answers.isEmpty()) {
        return m_answers.takeFirst();
    }
    return m_defaultAnswer;
}

void RecordingUserInteraction::setMousePointer(MousePointer pointer)
{
    m_pointer = pointer;
    m_pointerHistory.append(pointer);
}

MousePointer RecordingUserInteraction::mousePointer() const
{
    return m_pointer;
}

void RecordingUserInteraction::processEvents()
{
    ++m_processEventsCount;
    QCoreApplication::processEvents();
}

void RecordingUserInteraction::sendTab()
{
    ++m_sendTabCount;
    if (m_forwardSendTab) {
        postTab();
    }
}

QStringList RecordingUserInteraction::texts() const
{
    QStringList out;
    for (const MessageRequest &request : m_messages) {
        out.append(request.text);
    }
    return out;
}

void RecordingUserInteraction::clear()
{
    m_messages.clear();
    m_shownCaptions.clear();
    m_answers.clear();
    m_pointerHistory.clear();
    m_processEventsCount = 0;
    m_sendTabCount = 0;
}

} // namespace condora
