#include "dialog/workingindicator.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

/// The indicator reads as an alert: assistive technology announces it when it appears.
QAccessibleInterface *indicatorAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String(WorkingIndicator::staticMetaObject.className()) && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::AlertMessage);
    }
    return nullptr;
}

} // namespace

WorkingIndicator::WorkingIndicator(QWidget *parent, Qt::WindowFlags flags)
    : QFrame(parent, flags)
{
    static const bool alertRole = [] {
        QAccessible::installFactory(indicatorAccessible);
        return true;
    }();
    Q_UNUSED(alertRole);
    // A plain line in the text colour stands out over the grid in light and dark palettes.
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setAutoFillBackground(true);
    m_label = new QLabel(tr("Working..."), this);
    m_label->setObjectName(u"lblWorking"_s);
    setAccessibleName(m_label->text());
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(u"cmdCancelWork"_s);
    m_cancel->setAutoDefault(false);
    // Named apart from the dialog's own Cancel (which is disabled meanwhile), the visible word first.
    m_cancel->setAccessibleName(tr("Cancel the statement"));
    m_cancel->setAccessibleDescription(tr("Stops the statement the database is working on (Escape)."));
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, &WorkingIndicator::cancelled);
}

WorkingIndicator *WorkingIndicator::inside(QWidget *surface)
{
    auto *indicator = new WorkingIndicator(surface, Qt::Widget);
    indicator->setObjectName(u"fraWorking"_s);
    surface->installEventFilter(indicator);
    indicator->hide();
    indicator->ensurePolished();
    indicator->place();
    return indicator;
}

WorkingIndicator *WorkingIndicator::overWindow(QWidget *window)
{
    auto *indicator = new WorkingIndicator(window, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    indicator->setObjectName(u"frmWorking"_s);
    indicator->setWindowTitle(tr("Working"));
    indicator->ensurePolished();
    indicator->adjustSize();
    if (window != nullptr) {
        const QRect over = window->window()->frameGeometry();
        indicator->move(over.center() - indicator->rect().center());
    }
    indicator->winId(); // the native window now, not when it is shown
    return indicator;
}

void WorkingIndicator::present()
{
    if (!isWindow()) {
        place();
        raise();
    }
    show();
    // Assistive technology announces the busy state as it announces a message box.
    QAccessibleEvent shown(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&shown);
}

void WorkingIndicator::place()
{
    const QWidget *surface = parentWidget();
    if (surface == nullptr || isWindow()) {
        return;
    }
    const QSize size = sizeHint().boundedTo(surface->size());
    setGeometry(QRect(QPoint((surface->width() - size.width()) / 2, (surface->height() - size.height()) / 2), size));
}

bool WorkingIndicator::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        place();
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace condora
