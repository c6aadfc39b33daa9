#pragma once

class QTableView;

namespace condora {

/// Lets assistive technology read a grid's view as the user sees it: a table of the columns the
/// grid shows, in their order, with their titles as column headers. A column the grid hides
/// (width 0, such as a key kept beside the shown cells) is not exposed at all, neither its cells
/// nor its title. Installs the accessibility factory once; every FlexGrid calls it.
void installFlexGridAccessible();
/// Makes sure `view` (a grid's view, fully built) is read through that table.
void useFlexGridAccessible(QTableView *view);

} // namespace condora
