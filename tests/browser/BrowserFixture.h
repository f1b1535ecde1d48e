// The real window through the window harness, with helpers to build registry
// content and read the tree and the value list.
#pragma once

#include "tests/harness/WindowHarness.h"

#include "app/TRegForm.h"
#include "registry/api/TRegistry.h"
#include "registry/text/ValueText.h"
#include "registry/win32/KeyStore.h"
#include "widgets/TListView.h"
#include "widgets/TTreeView.h"

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct Row
{
    std::string name, type, value;
    int image = -1;
    bool operator==(const Row &) const = default;
};

inline std::ostream &operator<<(std::ostream &out, const Row &row)
{
    return out << '{' << row.name << '|' << row.type << '|' << row.value << '|' << row.image << '}';
}

class BrowserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        harness = std::make_unique<WindowHarness>();
        form = &harness->form();
        harness->clearBoxes(); // the backup warning
    }

    void TearDown() override { harness.reset(); }

    const std::vector<RecordedBox> &boxes() const { return harness->boxes(); }

    // Creates the key (absolute path below HKEY_CURRENT_USER unless `root` says otherwise).
    static void key(const std::string &path, HKEY root = HKEY_CURRENT_USER)
    {
        TRegistry reg;
        reg.SelectRoot(root);
        reg.CreatePath(path);
    }

    static void value(const std::string &path, const std::string &name, const std::string &bytes,
                      DWORD type, HKEY root = HKEY_CURRENT_USER)
    {
        TRegistry reg;
        reg.SelectRoot(root);
        reg.CreatePath(path);
        ASSERT_TRUE(reg.OpenPath(path));
        ASSERT_EQ(RegSetValueExA(reg.KeyHandle(), name.c_str(), 0, type,
                                 reinterpret_cast<const BYTE *>(bytes.data()), DWORD(bytes.size())),
                  ERROR_SUCCESS);
    }

    static bool hasKey(const std::string &path, HKEY root = HKEY_CURRENT_USER)
    {
        TRegistry reg;
        reg.SelectRoot(root);
        return reg.OpenPath(path);
    }

    TTreeNode *top() const { return form->RegTV->topLevelNode(0); }
    TTreeNode *user() const { return form->RootNodes[1]; }

    static TTreeNode *child(TTreeNode *node, const char *name)
    {
        for (int i = 0; node && i < node->childCount(); ++i)
            if (node->child(i)->name() == name) return node->child(i);
        return nullptr;
    }

    static std::vector<std::string> texts(const TTreeNode *node)
    {
        std::vector<std::string> names;
        for (int i = 0; i < node->childCount(); ++i)
            names.push_back(node->child(i)->name());
        return names;
    }

    // Expands each named node in turn from the root node of HKEY_CURRENT_USER.
    TTreeNode *open(std::initializer_list<const char *> path)
    {
        TTreeNode *node = user();
        form->RegTV->expandNode(node);
        for (const char *name : path) {
            node = child(node, name);
            if (!node) return nullptr;
            form->RegTV->expandNode(node);
        }
        return node;
    }

    std::vector<Row> rows() const
    {
        std::vector<Row> list;
        const TListView *view = form->RegLV;
        for (int i = 0; i < view->rowCount(); ++i)
            list.push_back({view->text(i, 0).toStdString(), view->text(i, 1).toStdString(),
                            view->text(i, 2).toStdString(), view->imageIndex(i)});
        return list;
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> list;
        for (const Row &row : rows())
            list.push_back(row.name);
        return list;
    }

    std::string lb1() const { return form->lb1->text().toStdString(); }
    std::string lb2() const { return form->lb2->text().toStdString(); }

    std::unique_ptr<WindowHarness> harness;
    TRegForm *form = nullptr;
};
