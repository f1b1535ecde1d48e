#include "widgets/TImageList.h"

#include "registry/text/ValueText.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QPixmap blank()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap drawComputer()
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    // Monitor with a blue screen, on a stand and a flat base unit.
    p.setPen(QColor(64, 64, 64));
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(2, 1, 12, 9);
    p.fillRect(4, 3, 9, 6, QColor(0, 0, 160));
    p.fillRect(5, 4, 4, 2, QColor(96, 160, 255));
    p.fillRect(7, 11, 3, 1, QColor(96, 96, 96));
    p.drawRect(1, 12, 14, 3);
    p.fillRect(3, 14, 2, 1, QColor(0, 160, 0));
    return pixmap;
}

QPixmap drawFolder(bool open)
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor edge(128, 96, 0);
    const QColor back(224, 180, 40);
    const QColor front(255, 216, 96);
    p.setPen(edge);
    p.setBrush(back);
    // Tab and back wall.
    p.drawPolygon(QPolygon({{1, 3}, {5, 3}, {6, 4}, {14, 4}, {14, 13}, {1, 13}}));
    if (open) {
        // The front flap tilted forward shows the folder is open.
        p.setBrush(front);
        p.drawPolygon(QPolygon({{3, 7}, {15, 7}, {13, 13}, {1, 13}}));
    } else {
        p.setBrush(front);
        p.drawRect(1, 6, 13, 7);
    }
    return pixmap;
}

// 3x5 pixel glyphs: fonts are unreadable at this size.
const char *glyph(char c)
{
    switch (c) {
    case 'a':
        return "##."
               "..#"
               ".##"
               "#.#"
               ".##";
    case 'b':
        return "#.."
               "##."
               "#.#"
               "#.#"
               "##.";
    case '0':
        return ".#."
               "#.#"
               "#.#"
               "#.#"
               ".#.";
    default:
        return ".#."
               "##."
               ".#."
               ".#."
               "###";
    }
}

void drawGlyphs(QPainter &p, const char *text, int x, int y, const QColor &ink)
{
    for (; *text; ++text, x += 4) {
        const char *rows = glyph(*text);
        for (int i = 0; i < 15; ++i)
            if (rows[i] == '#') p.fillRect(x + i % 3, y + i / 3, 1, 1, ink);
    }
}

QPixmap drawPage(const char *line1, const char *line2, const QColor &ink)
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    // A sheet with a folded corner.
    p.setPen(QColor(96, 96, 96));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygon({{2, 0}, {10, 0}, {13, 3}, {13, 15}, {2, 15}}));
    p.drawLine(10, 0, 10, 3);
    p.drawLine(10, 3, 13, 3);
    if (line2) {
        drawGlyphs(p, line1, 4, 3, ink);
        drawGlyphs(p, line2, 4, 9, ink);
    } else {
        drawGlyphs(p, line1, 4, 6, ink);
    }
    return pixmap;
}

} // namespace

TImageList::TImageList(QObject *parent) : QObject(parent)
{
    m_pixmaps.resize(kImageBinaryValue + 1);
    m_pixmaps[kImageComputer] = drawComputer();
    m_pixmaps[kImageClosedFolder] = drawFolder(false);
    m_pixmaps[kImageOpenFolder] = drawFolder(true);
    m_pixmaps[kImageTextValue] = drawPage("ab", nullptr, QColor(192, 0, 0));
    m_pixmaps[kImageBinaryValue] = drawPage("01", "10", QColor(0, 0, 192));
}

QPixmap TImageList::pixmap(int index) const
{
    if (index < 0 || index >= count()) return {};
    return m_pixmaps[static_cast<std::size_t>(index)];
}

QIcon TImageList::icon(int index) const
{
    const QPixmap image = pixmap(index);
    return image.isNull() ? QIcon() : QIcon(image);
}
