// A read-only view of the windows for tests that drive the real program from outside.
// With QUARNEL_DUMP_STATE=<file> in the environment, each SIGUSR1 makes the program write
// the texts and states of its visible windows (labels, buttons, edit fields, progress bars,
// list and tree rows with their selection, open message boxes and menus) to that file as
// JSON, replacing it whole; a first dump is written at once, to say the signal is safe to send.
// Without the variable nothing is installed and nothing changes.
#pragma once

#include <QByteArray>

namespace StateDump {

// Reads QUARNEL_DUMP_STATE; when set, arranges the dumps. Call once, after the
// application object exists.
void installFromEnvironment();

// The JSON text a dump writes: every visible top-level window. `serial` tells
// successive dumps apart.
QByteArray snapshot(int serial);

} // namespace StateDump
