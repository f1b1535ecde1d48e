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

bool choose(QWidget *parent, std::string &path, RowFormat &format)
{
    if (chooser()) return chooser()(path, format);
    std::vector<const RowFormatName *> offered;
    QStringList filters;
    for (const RowFormatName &name : rowFormats())
        if (*name.filter) {
            offered.push_back(&name);
            filters << QString::fromUtf8(name.filter);
        }
    QString filter = filters.front();
    QString chosen = QFileDialog::getSaveFileName(parent, QStringLiteral("Export"), QString(),
                                                  filters.join(QStringLiteral(";;")), &filter);
    if (chosen.isEmpty()) return false;
    const RowFormatName &picked =
        *offered[std::size_t(std::max<qsizetype>(0, filters.indexOf(filter)))];
    format = picked.format;
    // The filter names the format; a name typed without its suffix gets it.
    if (!chosen.contains(QLatin1Char('.')) ||
        chosen.lastIndexOf(QLatin1Char('.')) < chosen.lastIndexOf(QLatin1Char('/')))
        chosen += QLatin1String(picked.suffix);
    path = fromQt(chosen);
    return true;
}

} // namespace ExportDialog
