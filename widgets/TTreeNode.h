// One node of the key tree. A key with 100k subkeys loads 100k of these, so a
// node holds only what cannot be derived: the name as its exact bytes (not
// every registry name is valid UTF-8, and a name read back from the shown text
// could address another key), two small image indexes and the has-children mark.
// The shown text is made from the name when the view asks for it.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TTreeNode final
{
public:
    TTreeNode(std::string name, int imageIndex, bool hasChildrenMark = false);
    // Frees the whole subtree, however deep, with a stack of its own.
    ~TTreeNode();
    TTreeNode(const TTreeNode &) = delete;
    TTreeNode &operator=(const TTreeNode &) = delete;

    const std::string &name() const { return m_name; }
    // As shown: the name read as UTF-8, bytes that are not shown as U+FFFD.
    QString text() const;

    // Null for a top-level node.
    TTreeNode *parent() const { return m_parent; }
    // The position among its siblings.
    int row() const { return m_row; }
    int childCount() const { return static_cast<int>(m_children.size()); }
    // Null when there is no child at that position.
    TTreeNode *child(int row) const;

    int imageIndex() const { return m_image; }
    int selectedIndex() const { return m_selectedImage; }
    bool hasChildrenMark() const { return m_hasChildrenMark; }

private:
    friend class TTreeModel;

    // An image list holds a handful of images; other indexes show no image.
    static std::int8_t imageSlot(int index);

    std::string m_name;
    TTreeNode *m_parent = nullptr;
    std::vector<std::unique_ptr<TTreeNode>> m_children;
    int m_row = 0;
    std::int8_t m_image = -1;
    std::int8_t m_selectedImage = -1;
    bool m_hasChildrenMark = false;
};
