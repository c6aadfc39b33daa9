#pragma once

class QLineEdit;

namespace condora {

/// Key codes the filter knows by number.
namespace keycode {
inline constexpr int Backspace = 8;
inline constexpr int Enter = 13;
} // namespace keycode

/// Filters one keystroke typed into `box` for a numeric value of at most `decimals` digits after
/// the decimal point and `intDigits` places before it (a leading "-" counts as one of them).
/// `key` is the character code of the keystroke; the filter sets it to 0 when the keystroke is
/// not allowed. Enter (13) moves the focus on to the next control (as a Tab keystroke does) and
/// is passed on unchanged; Backspace (8) is always allowed. A selection in the box lifts the
/// length limits for the keystroke that replaces it. Never throws.
void numericKeyFilter(QLineEdit *box, int &key, int decimals, int intDigits);

} // namespace condora
