#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace condora {

/// "Working..." with a Cancel button, shown while a statement runs longer than a moment:
/// inside a dialog (fraWorking, centred over it) or as a small window of its own over the
/// control's window (frmWorking). Its controls are lblWorking and cmdCancelWork.
class WorkingIndicator : public QFrame
{
    Q_OBJECT

public:
    /// Inside `surface`, centred and on top of its controls; hidden until present().
    static WorkingIndicator *inside(QWidget *surface);
    /// A small window over `window` (which may be null); hidden until present().
    static WorkingIndicator *overWindow(QWidget *window);
    /// Shows it and tells assistive technology (an alert named "Working..."). Made ready beforehand, its fonts and layout are settled already, so that
    /// showing costs the window no more than a paint.
    void present();

    QPushButton *cancelButton() const { return m_cancel; }

Q_SIGNALS:
    /// The user pressed Cancel.
    void cancelled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit WorkingIndicator(QWidget *parent, Qt::WindowFlags flags);
    /// Centres the indicator over its dialog.
    void place();

    QLabel *m_label = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace condora
