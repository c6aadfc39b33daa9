#pragma once

#include <QStringList>

namespace condora {

/// The host's per-column filter conditions for the value picker, as SetFilterCondition stored
/// them: position i belongs to the i-th select-list column, position 0 is not used. An empty
/// list means "never given".
///
/// This is the one piece of query state that is shared on purpose: a host sets the filters on
/// any control before a run, and they hold for the next run of any control on the thread. A
/// run copies them when it starts; every closing query dialog empties the list (a single empty
/// entry), so a host sets them again before each query. GUI thread only.
QStringList &hostFilterList();

} // namespace condora
