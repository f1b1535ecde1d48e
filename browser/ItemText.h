// Registry names as the value list's rows carry them: the exact bytes beside the
// shown text. Not every name is valid UTF-8, and a name read back from the shown
// text could address another value.
#pragma once

#include "app/QtText.h"

#include <QByteArray>
#include <QTreeWidgetItem>
#include <string>

namespace ItemText {

constexpr int kBytesRole = Qt::UserRole + 8;

inline void set(QTreeWidgetItem *item, const std::string &bytes)
{
    item->setText(0, toQt(bytes));
    item->setData(0, kBytesRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// Rows made without set() carry only their shown text.
inline QByteArray bytes(const QTreeWidgetItem *item)
{
    const QVariant stored = item->data(0, kBytesRole);
    return stored.isValid() ? stored.toByteArray() : item->text(0).toUtf8();
}

inline std::string get(const QTreeWidgetItem *item)
{
    const QByteArray text = bytes(item);
    return std::string(text.constData(), static_cast<std::size_t>(text.size()));
}

// Value list rows that show the key's default value as "(Standard)", with its text or
// as the placeholder, carry this mark; a value really named "(Standard)" does not.
constexpr int kDefaultValueRole = Qt::UserRole + 9;

inline void markDefaultValue(QTreeWidgetItem *item)
{
    item->setData(0, kDefaultValueRole, true);
}

inline bool isDefaultValue(const QTreeWidgetItem *item)
{
    return item->data(0, kDefaultValueRole).toBool();
}

} // namespace ItemText
