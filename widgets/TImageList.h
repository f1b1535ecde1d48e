// The five 16x16 images shared by the key tree and the value list, at the
// indexes of ImageIndex (registry/text/ValueText.h).
#pragma once

#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <vector>

class TImageList : public QObject
{
    Q_OBJECT

public:
    explicit TImageList(QObject *parent = nullptr);

    int count() const { return static_cast<int>(m_pixmaps.size()); }
    // Out-of-range indexes give a null pixmap/icon, shown as no image.
    QPixmap pixmap(int index) const;
    QIcon icon(int index) const;

private:
    std::vector<QPixmap> m_pixmaps;
};
