#include "app/FormFonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace FormFonts {

namespace {

QFont pixelFont(const QStringList &families)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(11);
    return font;
}

} // namespace

void loadBundledFonts()
{
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        for (const char *file :
             {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
            if (QFile::exists(QLatin1String(file)))
                QFontDatabase::addApplicationFont(QLatin1String(file));
    }
}

QFont formFont()
{
    loadBundledFonts();
    return pixelFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
}

QFont statusFont()
{
    loadBundledFonts();
    return pixelFont({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
}

} // namespace FormFonts
