#include "dialog/applystyle.h"

#include "analysis/errorreport.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"

#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <cstring>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

/// Paints a form's picture at its top-left corner, over the background colour and under the
/// controls, as a window picture is shown. Holds the shared picture, so it always paints the
/// picture object of the run that styled the form.
class FormPicturePainter : public QObject
{
public:
    FormPicturePainter(QWidget *form, PictureHandle picture)
        : QObject(form)
        , m_form(form)
        , m_picture(std::move(picture))
    {
        setObjectName(u"condoraFormPicture"_s);
        form->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_form && event->type() == QEvent::Paint && m_picture && !m_picture->isNull()) {
            QPainter painter(m_form);
            painter.drawPixmap(0, 0, *m_picture);
        }
        return false;
    }

private:
    QWidget *m_form;
    PictureHandle m_picture;
};

void setPaletteColor(QWidget *widget, QPalette::ColorRole role, OleColor color)
{
    QPalette palette = widget->palette();
    palette.setColor(role, color.toColor());
    widget->setPalette(palette);
}

// A font member without an object leaves the control's font as designed.
void setFontFrom(QWidget *widget, const FontHandle &font)
{
    if (font) {
        widget->setFont(*font);
    }
}

void styleForm(QWidget *form, const DialogStyle &style)
{
    setPaletteColor(form, QPalette::Window, style.FormBackColor);
    form->setAutoFillBackground(true);

    delete form->findChild<FormPicturePainter *>(u"condoraFormPicture"_s, Qt::FindDirectChildrenOnly);
    if (style.FormPicture && !style.FormPicture->isNull()) {
        new FormPicturePainter(form, style.FormPicture);
    }
    form->update();
}

void styleButton(QPushButton *button, const DialogStyle &style)
{
    setPaletteColor(button, QPalette::Button, style.ButtonBackColor);
    setFontFrom(button, style.ButtonFont);
    if (style.ButtonPicture && !style.ButtonPicture->isNull()) {
        button->setIcon(QIcon(*style.ButtonPicture));
        button->setIconSize(style.ButtonPicture->deviceIndependentSize().toSize());
    } else {
        button->setIcon(QIcon());
    }
}

void styleLabel(QLabel *label, const DialogStyle &style)
{
    setPaletteColor(label, QPalette::Window, style.LabelBackColor);
    label->setAutoFillBackground(true);
    setFontFrom(label, style.LabelFont);
    setPaletteColor(label, QPalette::WindowText, style.LabelForeColor);
}

void styleGrid(FlexGrid *grid, const DialogStyle &style)
{
    if (style.GridFont) {
        grid->setFont(*style.GridFont);
    }
    if (style.GridFontFixed) {
        grid->setFontFixed(*style.GridFontFixed);
    }
    grid->setGridColor(style.GridColor);
    grid->setGridColorFixed(style.GridColorFixed);
    grid->setGridColorUnpopulated(style.GridColorUnpopulated);
    grid->setForeColor(style.GridForeColor);
    grid->setForeColorFixed(style.GridForeColorFixed);
    grid->setForeColorSel(style.GridForeColorSel);
    grid->setBackColor(style.GridBackColor);
    grid->setBackColorBkg(style.GridBackColorBkg);
    grid->setBackColorFixed(style.GridBackColorFixed);
    grid->setBackColorSel(style.GridBackColorSel);
    grid->setBackColorUnpopulated(style.GridBackColorUnpopulated);
}

bool isClass(const QWidget *widget, const char *className)
{
    return std::strcmp(widget->metaObject()->className(), className) == 0;
}

} // namespace

void applyStyle(QWidget *form, const DialogStyle &style)
{
    try {
        if (!form) {
            throw RuntimeError::objectNotSet(u"applyStyle needs a form"_s);
        }
        styleForm(form, style);
        // Only the exact class names count: a class derived from QLabel keeps its own look.
        const QList<QWidget *> controls = form->findChildren<QWidget *>();
        for (QWidget *control : controls) {
            if (isClass(control, "QPushButton")) {
                styleButton(static_cast<QPushButton *>(control), style);
            } else if (isClass(control, "QLabel")) {
                styleLabel(static_cast<QLabel *>(control), style);
            } else if (isClass(control, "condora::FlexGrid")) {
                styleGrid(static_cast<FlexGrid *>(control), style);
            }
        }
    } catch (...) {
        showCurrentError(QString());
    }
}

} // namespace condora
