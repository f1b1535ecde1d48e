#include "results/ExportDialog.h"

#include "widgets/QtText.h"

#include <QFileDialog>
#include <QStringList>

namespace ExportDialog {

namespace {

Chooser &chooser()
{
    static Chooser instance;
    return instance;
}

} // namespace

void setChooser(Chooser next)
{
    chooser() = std::move(next);
}

bool choose(QWidget *parent, std::string &path, ExportFormat &format)
{
    if (chooser()) return chooser()(path, format);
    const QStringList filters{QStringLiteral("Registry files (*.reg)"),
                              QStringLiteral("Tab-separated text (*.tsv)"),
                              QStringLiteral("Comma-separated values (*.csv)")};
    static constexpr const char *kSuffixes[] = {".reg", ".tsv", ".csv"};
    QString filter = filters.front();
    QString chosen = QFileDialog::getSaveFileName(parent, QStringLiteral("Export"), QString(),
                                                  filters.join(QStringLiteral(";;")), &filter);
    if (chosen.isEmpty()) return false;
    const qsizetype which = std::max<qsizetype>(0, filters.indexOf(filter));
    format = static_cast<ExportFormat>(which);
    // The filter names the format; a name typed without its suffix gets it.
    if (!chosen.contains(QLatin1Char('.')) ||
        chosen.lastIndexOf(QLatin1Char('.')) < chosen.lastIndexOf(QLatin1Char('/')))
        chosen += QLatin1String(kSuffixes[which]);
    path = fromQt(chosen);
    return true;
}

} // namespace ExportDialog
