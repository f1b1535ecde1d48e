// Figures for delete and replace on 10k selected result rows, through the real
// window (offscreen). Prints numbers only; nothing here asserts a time.
#include "app/Dialogs.h"
#include "app/QuarnelApplication.h"
#include "app/TRegForm.h"
#include "app/UnitState.h"
#include "bench/Measure.h"
#include "registry/api/TRegistry.h"
#include "registry/win32/KeyStore.h"
#include "results/ResultModel.h"
#include "widgets/TReportView.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr int kRows = 10000;
constexpr int kValuesPerKey = 10;

using Fill = std::function<void(TRegistry &, ResultModel &, int rows)>;

std::string keyName(int k)
{
    return "Software\\Bench\\Key" + std::to_string(k);
}

// Rows for values, kValuesPerKey to a key; the values hold "needle" in name and data.
void valueRows(TRegistry &reg, ResultModel &model, int rows, bool dataRows)
{
    for (int k = 0; k < rows / kValuesPerKey; ++k) {
        reg.CreatePath('\\' + keyName(k));
        reg.OpenPath('\\' + keyName(k));
        for (int v = 0; v < kValuesPerKey; ++v) {
            const std::string name = "needle" + std::to_string(v);
            const std::string data = "C:\\needle\\file" + std::to_string(v) + ".dll";
            reg.WriteText(name, data);
            model.appendRow({"HKEY_CURRENT_USER", keyName(k) + '\\', name, dataRows ? "REG_SZ" : "",
                             dataRows ? data : ""});
        }
    }
    reg.ClosePath();
}

// Rows for keys named after the needle, each with one value and one subkey.
void keyRows(TRegistry &reg, ResultModel &model, int rows)
{
    for (int k = 0; k < rows; ++k) {
        const std::string path = "Software\\Bench\\needle" + std::to_string(k);
        reg.CreatePath('\\' + path + "\\Sub");
        reg.OpenPath('\\' + path);
        reg.WriteText("v", "x");
        model.appendRow({"HKEY_CURRENT_USER", path + '\\', "", "", ""});
    }
    reg.ClosePath();
}

// Runs one operation on a fresh registry and window; `everyOther` selects only
// every second row, the most fragmented selection.
void run(const char *label, const Fill &fill, bool replace, bool everyOther = false)
{
    quarnel::platform::setActiveStore(std::make_shared<quarnel::platform::KeyStore>());
    TRegForm form;
    auto *model = qobject_cast<ResultModel *>(form.FoundLV->model());
    if (!model) {
        model = new ResultModel(&UnitState::sortColumn, &form);
        form.FoundLV->setModel(model);
    }
    TRegistry reg;
    fill(reg, *model, everyOther ? 2 * kRows : kRows);
    model->flush();
    QItemSelectionModel &selection = *form.FoundLV->selectionModel();
    if (everyOther) {
        // Scoped: a selection kept alive holds persistent indexes the model must update.
        QItemSelection picked;
        for (int r = 0; r < model->rowCount(); r += 2)
            picked.select(model->index(r, 0), model->index(r, 4));
        selection.select(picked, QItemSelectionModel::ClearAndSelect);
    } else {
        model->selectAll(selection);
    }
    const int selected = ResultModel::selectedCount(selection);
    form.Edit1->setText(QStringLiteral("needle"));
    form.Edit2->setText(QStringLiteral("pin"));

    const auto start = std::chrono::steady_clock::now();
    if (replace)
        form.ReplaceSelected();
    else
        form.DeleteSelected();
    const double seconds = measure::secondsSince(start);
    std::printf("%-44s %6d selected  %6.3f s  left %d  lb1 \"%s\"\n", label, selected, seconds,
                model->rowCount(), form.lb1->text().toUtf8().constData());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QuarnelApplication app(argc, argv);
    int errorBoxes = 0;
    Dialogs::setAnswerer([&errorBoxes](const Dialogs::TDialogRecord &record) {
        errorBoxes += record.kind == Dialogs::TDialogKind::Error;
        return std::string(Dialogs::kOk);
    });

    const Fill names = [](TRegistry &reg, ResultModel &m, int n) { valueRows(reg, m, n, false); };
    const Fill data = [](TRegistry &reg, ResultModel &m, int n) { valueRows(reg, m, n, true); };
    run("delete 10k value rows", names, false);
    run("delete 10k key rows", keyRows, false);
    run("delete every other row of 20k value rows", names, false, true);
    run("replace in every other row of 20k value rows", data, true, true);
    run("replace in 10k string data rows", data, true);
    run("replace 10k value names", names, true);
    run("replace 10k key names (moves)", keyRows, true);
    std::printf("error boxes: %d\n", errorBoxes);
    return 0;
}
