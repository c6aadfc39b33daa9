#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QtDesigner/QDesignerPropertySheetExtension>

class Condora;

namespace condora {

/// Designer's property sheet for a Condora control. Designer's own sheet knows nothing of
/// the control's colour, font and picture handle types, so its property editor would not
/// offer them. This sheet keeps Designer's sheet for everything (the same indices, the same
/// bookkeeping of changed properties) and presents those properties in the types the
/// editor edits: colours as QColor, fonts as QFont, pictures as Designer's pixmap value (an
/// image file or resource path, loaded into a new picture). Edits made there are converted
/// back and stored through Designer's sheet, so saving, undo and reset work as for any
/// other property. ConnObj, a run-time object, stays hidden.
///
/// The editor knows only plain colours, so a colour that looks exactly like the property's
/// default system colour does now is taken as that system colour: reset and undo then give
/// back a colour that follows the user's palette, as a new control has.
class CondoraPropertySheet : public QObject, public QDesignerPropertySheetExtension
{
    Q_OBJECT
    Q_INTERFACES(QDesignerPropertySheetExtension)

public:
    /// `designerSheet` is the sheet Designer made for `control`; it is not owned.
    CondoraPropertySheet(Condora *control, QDesignerPropertySheetExtension *designerSheet, QObject *parent);

    /// The value the property editor sees for a stored colour or font of the control's own
    /// type (an invalid QVariant for any other value).
    static QVariant toEditorValue(const QVariant &value, const Condora *control);
    /// The control's own colour or font for an edited value, given the stored value it
    /// replaces (an invalid QVariant when `edited` cannot become that type).
    static QVariant fromEditorValue(const QVariant &edited, const QVariant &stored);

    int count() const override;
    int indexOf(const QString &name) const override;
    QString propertyName(int index) const override;
    QString propertyGroup(int index) const override;
    void setPropertyGroup(int index, const QString &group) override;
    bool hasReset(int index) const override;
    bool reset(int index) override;
    bool isVisible(int index) const override;
    void setVisible(int index, bool b) override;
    bool isAttribute(int index) const override;
    void setAttribute(int index, bool b) override;
    QVariant property(int index) const override;
    void setProperty(int index, const QVariant &value) override;
    bool isChanged(int index) const override;
    void setChanged(int index, bool changed) override;
    bool isEnabled(int index) const override;

private:
    bool isPicture(int index) const;
    bool isPresented(int index) const;

    QPointer<Condora> m_control;
    QDesignerPropertySheetExtension *m_designerSheet;
    QObject *m_designerSheetObject; ///< m_designerSheet as the QObject it is, to notice its deletion
    QHash<int, QString> m_picturePaths; ///< where each picture property's image was loaded from
    QHash<int, quint32> m_defaultColors; ///< each colour property's default, as a new control has it
};

} // namespace condora
