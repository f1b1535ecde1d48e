// The real main window on a fresh in-memory registry (the window harness), for
// tests of the search run and the result list. The walker lets the
// message loop run at every value, so events queued before a run are handled at
// its first value. Every registry has nine keys to begin with: Software\Classes
// and System\CurrentControlSet\Hardware Profiles\Current below HKEY_LOCAL_MACHINE,
// .Default and the current user's key below HKEY_USERS.
#pragma once

#include "app/TRegForm.h"
#include "registry/win32/KeyStore.h"
#include "registry/win32/winreg.h"
#include "results/ResultModel.h"
#include "search/ResultRow.h"
#include "search/SearchRunState.h"
#include "tests/harness/WindowHarness.h"
#include "widgets/TButton.h"
#include "widgets/TReportView.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const ResultRow &row, std::ostream *out)
{
    *out << '[' << row.root << " | " << row.branch << " | " << row.name << " | " << row.type
         << " | " << row.value << (row.defaultValue ? " | default" : "") << ']';
}

class SearchFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        searchrun::setMessageStepGapNs(0);
        harness = std::make_unique<WindowHarness>();
        form = &harness->form();
        harness->clearBoxes();
        // The current user's key is made on first use; made here, every run of a
        // test sees the same keys.
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, nullptr, 0, KEY_ALL_ACCESS, &key);
        RegCloseKey(key);
    }

    void TearDown() override { harness.reset(); }

    const std::vector<RecordedBox> &boxes() const { return harness->boxes(); }

    static void setValue(HKEY root, const std::string &path, const std::string &name, DWORD type,
                         const std::string &data)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, type,
                                 reinterpret_cast<const BYTE *>(data.data()), DWORD(data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static void setText(HKEY root, const std::string &path, const std::string &name,
                        const std::string &text)
    {
        setValue(root, path, name, REG_SZ, text + '\0');
    }
    static void createKey(HKEY root, const std::string &path)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // Runs fn at the run's next message-loop pass (or the next pass of whatever
    // loop); dropped if the window goes first.
    void soon(std::function<void()> fn) const { QTimer::singleShot(0, form, std::move(fn)); }

    void search(const std::string &text)
    {
        form->Edit1->setText(QString::fromUtf8(text.c_str()));
        form->Button1->click();
    }

    std::vector<ResultRow> rows() const
    {
        QAbstractItemModel *model = form->FoundLV->model();
        auto *results = qobject_cast<ResultModel *>(model);
        std::vector<ResultRow> out;
        for (int r = 0; r < model->rowCount(); ++r) {
            auto cell = [&](int c) { return model->index(r, c).data().toString().toStdString(); };
            // The cells as shown; whether a row stands for the default value is not shown.
            out.push_back({cell(0), cell(1), cell(2), cell(3), cell(4),
                           results && results->rowAt(r).defaultValue});
        }
        return out;
    }
    std::vector<std::string> branches() const
    {
        std::vector<std::string> out;
        for (const ResultRow &row : rows())
            out.push_back(row.branch);
        return out;
    }

    static std::string text(const QLabel *label) { return label->text().toStdString(); }

    std::unique_ptr<WindowHarness> harness;
    TRegForm *form = nullptr;
};
