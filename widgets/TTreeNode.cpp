#include "widgets/TTreeNode.h"

#include "widgets/QtText.h"

TTreeNode::TTreeNode(std::string name, int imageIndex, bool hasChildrenMark)
    : m_name(std::move(name)), m_image(imageSlot(imageIndex)), m_selectedImage(m_image),
      m_hasChildrenMark(hasChildrenMark)
{
}

TTreeNode::~TTreeNode()
{
    // Each node taken off the stack has handed its children on, so no destructor
    // below this one recurses.
    std::vector<std::unique_ptr<TTreeNode>> pending = std::move(m_children);
    while (!pending.empty()) {
        std::unique_ptr<TTreeNode> node = std::move(pending.back());
        pending.pop_back();
        for (std::unique_ptr<TTreeNode> &child : node->m_children)
            pending.push_back(std::move(child));
        node->m_children.clear();
    }
}

QString TTreeNode::text() const
{
    return toQt(m_name);
}

TTreeNode *TTreeNode::child(int row) const
{
    return row >= 0 && row < childCount() ? m_children[static_cast<std::size_t>(row)].get()
                                          : nullptr;
}

std::int8_t TTreeNode::imageSlot(int index)
{
    return index >= 0 && index <= INT8_MAX ? static_cast<std::int8_t>(index) : std::int8_t(-1);
}
