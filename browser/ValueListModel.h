// The rows of the value list, stored compactly. A key may hold a million values;
// as widget items with three texts, an icon and two marks each they cost over a
// kilobyte a row. Here a row is a 24-byte record over one buffer that holds its
// name and its data as read (a DWORD's four bytes, other values' bytes), and
// the shown Type and Value texts are made from them when a view asks (the image
// index in TListView::ImageRole). A row
// keeps what was read at the fill, whatever the registry holds later.
#pragma once

#include "registry/api/TRegistry.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class ValueListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Stays with its row through sorts and removals of other rows.
    using RowId = std::uint32_t;
    // Negative, 0 or positive for the first caption before, level with or after the second.
    using Compare = std::function<int(std::string_view, std::string_view)>;

    explicit ValueListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // A fill: clear() and the rows added until endFill() reach views in one go.
    void beginFill();
    // The row's caption, its registry type, whether it stands for the default
    // value, and its data as read: text bytes, raw bytes, or a DWORD's four bytes,
    // lowest first.
    void addRow(std::string_view caption, DWORD regType, bool defaultValue, std::string_view data);
    // A row whose data could not be read: its Value cell stays empty.
    void addUnreadRow(std::string_view caption, DWORD regType, bool defaultValue);
    void endFill();
    void clear();
    // Outside a fill: a row at the end for a value not made yet (its name is being
    // given); its position.
    int addPendingRow(std::string_view caption, DWORD regType, std::string_view data);

    // Sorts every row by caption (stable); selection and the focused row stay with their rows.
    void sort(const Compare &compare);
    // Removes the row if it is still listed.
    void removeRow(RowId id);

    RowId idAt(int row) const { return m_order[static_cast<std::size_t>(row)]; }
    // The caption as its exact bytes: not every name is valid UTF-8, and a name
    // read back from the shown text could address another value.
    std::string_view caption(int row) const;
    // Rows that show the key's default value as "(Standard)", with its text or as
    // the placeholder; a value really named "(Standard)" is not one.
    bool isDefaultValue(int row) const;
    // The Value cell as UTF-8 bytes.
    std::string valueText(int row) const;

private:
    struct Packed
    {
        std::uint64_t text = 0; // offset of the caption in m_texts, its data after it
        std::uint32_t captionSize = 0;
        std::uint32_t dataSize = 0;
        DWORD regType = REG_NONE;
        std::uint8_t flags = 0;
    };
    enum Flag : std::uint8_t
    {
        kDefaultValue = 1,
        kUnread = 2,
    };

    const Packed &packed(int row) const { return m_rows[idAt(row)]; }
    std::string_view dataOf(const Packed &row) const;
    QString shownValue(const Packed &row) const;
    void append(std::string_view caption, DWORD regType, std::uint8_t flags, std::string_view data);

    std::string m_texts;
    std::vector<Packed> m_rows;
    std::vector<RowId> m_order; // rows in list order
    // The Value texts of rows with long data, made once: a view asks for them on every paint.
    mutable QHash<RowId, QString> m_longTexts;
    mutable std::size_t m_longTextsSize = 0;
    bool m_filling = false;
};
