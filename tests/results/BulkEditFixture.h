// The real window through the harness, on a fresh in-memory registry, with result
// rows put into its list directly, so each case controls exactly which rows are
// there and in what order.
#pragma once

#include "registry/api/TRegistry.h"
#include "results/ResultModel.h"
#include "search/ResultRow.h"
#include "tests/harness/WindowHarness.h"

#include <QAction>
#include <QLabel>
#include <gtest/gtest.h>

#include <string>
#include <vector>

inline const std::string kHkcu = "HKEY_CURRENT_USER";
inline const std::string kHklm = "HKEY_LOCAL_MACHINE";

class BulkEditTest : public ::testing::Test
{
protected:
    BulkEditTest();

    TRegForm &form() { return m_harness.form(); }
    ResultModel &model();
    quarnel::platform::KeyStore &store() { return m_harness.store(); }

    // Registry set-up and inspection; paths are below the root, without leading "\".
    void makeKey(const std::string &path, HKEY root = HKEY_CURRENT_USER);
    void setValue(const std::string &path, const std::string &name, const std::string &bytes,
                  TValueKind kind, HKEY root = HKEY_CURRENT_USER);
    void setText(const std::string &path, const std::string &name, const std::string &text)
    {
        setValue(path, name, text + '\0', TValueKind::vkString);
    }
    bool hasKey(const std::string &path, HKEY root = HKEY_CURRENT_USER);
    bool hasValue(const std::string &path, const std::string &name, HKEY root = HKEY_CURRENT_USER);
    // The value's bytes and kind; empty bytes and vkUnknown when missing.
    std::string valueBytes(const std::string &path, const std::string &name,
                           TValueKind *kind = nullptr, HKEY root = HKEY_CURRENT_USER);

    // Rows in the order given (they sort by Root, keeping arrival order).
    void addRow(const ResultRow &row);
    void addKeyRow(const std::string &branch, const std::string &root = kHkcu)
    {
        addRow({root, branch, "", "", ""});
    }
    void addNameRow(const std::string &branch, const std::string &name)
    {
        addRow({kHkcu, branch, name, "", ""});
    }
    void addDataRow(const std::string &branch, const std::string &name, const std::string &type,
                    const std::string &value)
    {
        addRow({kHkcu, branch, name, type, value});
    }
    // A data row of the key's default value, which shows as "(Standard)".
    void addDefaultRow(const std::string &branch, const std::string &type, const std::string &value)
    {
        addRow({kHkcu, branch, "(Standard)", type, value, true});
    }
    void selectAll();
    // A search as the user starts it; afterwards every row found is selected.
    void searchFor(const std::string &text);
    // Software\HrNest\aaa, aaa\aaa1, aaa1\aaa2 and aaa\b, each with `perKey` values
    // aaav<i> holding "aaa <i>": a search for "aaa" lists 4 + 8 * perKey rows, and
    // every row below aaa is below a key that an earlier row deletes or renames.
    void makeNest(int perKey);
    std::vector<ResultRow> rows();
    int selectedCount();

    // Boxes.
    void answer(const std::string &button) { m_harness.answer(button); }
    const std::vector<RecordedBox> &boxes() const { return m_harness.boxes(); }
    std::vector<std::string> boxTexts(Dialogs::TDialogKind kind) const;
    void clearBoxes() { m_harness.clearBoxes(); }

    // Starts the operations the way the user does.
    void clickDelete();
    void clickReplace(const std::string &search, const std::string &replacement);
    // Ctrl+Z, in the result list unless another control is named.
    void pressUndo(QWidget *where = nullptr);
    static std::string registry() { return WindowHarness::registryDump(); }
    // The names of the undo files in the safety folder now in force.
    static std::vector<std::string> undoFiles();
    std::string lb1Text() { return form().lb1->text().toUtf8().toStdString(); }
    std::string lb6Text() { return form().lb6->text().toUtf8().toStdString(); }

private:
    void typeInto(QLineEdit *edit, const std::string &text);

    WindowHarness m_harness;
};
