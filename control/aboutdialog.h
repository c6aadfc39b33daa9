#pragma once

#include <QDialog>

namespace condora {

/// The About window `dlgAbout`: a small fixed tool window captioned "About" (4785 x 2670
/// twips, no minimise or maximise box, no buttons; closed with its close box) whose first
/// line reads "Condora ActiveX". It is not styled by the control's appearance properties.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
};

} // namespace condora
