#include "dialog/numerickeyfilter.h"

#include "dialog/errortraps.h"
#include "platform/textfunctions.h"
#include "platform/userinteraction.h"

#include <QLineEdit>

namespace condora {

using errortraps::ignoreErrors;

void numericKeyFilter(QLineEdit *box, int &key, int decimals, int intDigits)
{
    if (box == nullptr) {
        return;
    }
    if (key == keycode::Enter) {
        ignoreErrors([] { UserInteraction::instance().sendTab(); });
        return;
    }
    if (key == keycode::Backspace) {
        return;
    }

    const QString t = box->text();
    const int caret = box->cursorPosition(); // 0-based
    const bool noSelection = box->selectedText().isEmpty();
    const int dot = int(u'.');
    const int minus = int(u'-');

    if (decimals > 0 && !t.contains(u'.') && key == dot) {
        return;
    }

    int p = 0; // 1-based position of the decimal point, 0 when there is none
    ignoreErrors([&] { p = text::findExact(t, QStringLiteral(".")); });

    // The fraction is full and the caret is in it.
    if (p > 0 && t.size() == p + decimals && caret >= p && noSelection) {
        key = 0;
    }

    int n = p - 1; // places before the point
    if (p == 0) {
        n = int(t.size());
        p = 100;
    }
    // The integer part is full and the caret is in it.
    if (n == intDigits && caret < p && noSelection) {
        key = 0;
    }

    if (key == minus && caret == 0) {
        return;
    }
    if (key < int(u'0') || key > int(u'9')) {
        key = 0;
    }
}

} // namespace condora
