// The points at which a save, a backup or an undo makes its writes last or take
// effect: each fsync, fdatasync, rename and renameat2 of this process. A test
// kills a child at a chosen one, as a kill -9 at that moment would.
#pragma once

namespace quarnel::test {

// From now on, SIGKILL just before the `n`th sync point (counted from 1).
void killAtSyncPoint(int n);

} // namespace quarnel::test
