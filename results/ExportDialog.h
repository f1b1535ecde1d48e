// The file an Export… of result rows goes to, and in which format: a save dialog
// with one filter per format. Tests choose instead (setChooser).
#pragma once

#include "results/RowExport.h"

#include <functional>
#include <string>

class QWidget;

namespace ExportDialog {

// Sets `path` and `format`; false when the user cancelled.
using Chooser = std::function<bool(std::string &path, RowFormat &format)>;
// With a chooser set no dialog is shown; an empty function brings the dialog back.
void setChooser(Chooser chooser);
bool choose(QWidget *parent, std::string &path, RowFormat &format);

} // namespace ExportDialog
