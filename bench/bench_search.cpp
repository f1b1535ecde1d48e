// Times a full search run in the real window on the generator's benchmark
// registry (in memory, offscreen): a rare and a common needle, grep -ci over the
// same registry as text, one header click and select-all on the big list, and
// the longest gap between two message-loop passes during a run, whether rows
// appear while it goes on, and the heap each result row of the big list costs.
// GAP_MS=n tries another least gap between two passes (default 5 ms).
// SORT_COLUMN=n sorts the list by column n before the common search; 4 (Value)
// scatters the found rows most, so merging them costs most.
#include "RegistryGenerator.h"
#include "TextDumpSink.h"
#include "Win32RegistrySink.h"

#include "app/Dialogs.h"
#include "app/QuarnelApplication.h"
#include "app/TButton.h"
#include "app/TRegForm.h"
#include "app/TReportView.h"
#include "platform/KeyStore.h"
#include "search/SearchRunState.h"

#include <QAbstractItemModel>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>

using namespace quarnel::generator;

namespace {

// CPU time of the whole process: the machine is shared, so wall-clock figures
// carry other people's load; both are printed.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Bytes the heap has handed out, chunk overheads and large mapped blocks included:
// exact, and not affected by other load on the machine.
double heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
}

// Whether rows reach the list while the run goes on, not only at its end.
struct ListGrowth
{
    int passes = 0;
    int growths = 0; // passes at which the list showed more rows than before
    int shown = 0;
    double firstRowsAt = -1; // seconds into the run

    void seen(int rows, double seconds)
    {
        ++passes;
        if (rows <= shown) return;
        if (firstRowsAt < 0) firstRowsAt = seconds;
        ++growths;
        shown = rows;
    }
    void print() const
    {
        std::printf("  rows shown during the run: the list grew at %d of %d message-loop passes, "
                    "first after %.3f s\n",
                    growths, passes, firstRowsAt);
    }
};

struct RunFigures
{
    double seconds = 0;
    double cpu = 0;
    double longestGapMs = 0;
    int rows = 0;
    ListGrowth growth;
};

// One run for `needle`; a zero-interval timer fires at every message-loop pass
// and records the longest time between two of them.
RunFigures searchFor(TRegForm &form, const char *needle)
{
    form.Edit1->setText(QString::fromLatin1(needle));
    QElapsedTimer sinceLast;
    double longest = 0;
    QElapsedTimer clock;
    RunFigures figures;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (sinceLast.isValid())
            longest = std::max(longest, double(sinceLast.nsecsElapsed()) / 1e6);
        sinceLast.start();
        figures.growth.seen(form.FoundLV->model()->rowCount(), double(clock.nsecsElapsed()) / 1e9);
    });
    probe.start();
    clock.start();
    const double cpuBefore = cpuSeconds();
    form.Button1->click();
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    figures.cpu = cpuSeconds() - cpuBefore;
    probe.stop();
    figures.longestGapMs = longest;
    figures.rows = form.FoundLV->model()->rowCount();
    return figures;
}

double grepSeconds(const std::string &file, const char *needle, std::string &count)
{
    const std::string command = std::string("grep -ci ") + needle + " " + file;
    QElapsedTimer clock;
    clock.start();
    FILE *pipe = popen(command.c_str(), "r");
    char line[64] = {};
    if (pipe && std::fgets(line, sizeof line, pipe)) count = line;
    if (pipe) pclose(pipe);
    while (!count.empty() && count.back() == '\n')
        count.pop_back();
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QuarnelApplication app(argc, argv);
    QuarnelApplication::setApplicationName(QStringLiteral("Quarnel"));
    Dialogs::setAnswerer([](const Dialogs::TDialogRecord &) { return std::string(Dialogs::kOk); });

    quarnel::platform::setActiveStore(std::make_shared<quarnel::platform::KeyStore>());
    const std::string dumpFile = "/tmp/quarnel_bench_search.txt";
    GeneratorResult generated;
    {
        Win32RegistrySink store;
        std::ofstream dump(dumpFile, std::ios::binary);
        TextDumpSink text(dump);
        TeeSink both({&store, &text});
        QElapsedTimer clock;
        clock.start();
        generated = generateRegistry(GeneratorOptions::benchmark(), both);
        std::printf("registry: %zu keys, %zu values, %llu data bytes (generated in %.2f s)\n",
                    generated.keys, generated.values,
                    static_cast<unsigned long long>(generated.dataBytes),
                    double(clock.elapsed()) / 1000);
    }

    if (const char *gap = std::getenv("GAP_MS"))
        searchrun::setMessageStepGapNs(std::int64_t(std::atof(gap) * 1e6));
    TRegForm form;
    QCoreApplication::processEvents();

    const RunFigures rare = searchFor(form, rareNeedle);
    std::printf("rare needle \"%s\": %d rows (predicted %llu), %.3f s wall, %.3f s CPU; %s\n",
                rareNeedle, rare.rows,
                static_cast<unsigned long long>(generated.needles[0].defaultScopeRows()),
                rare.seconds, rare.cpu, form.lb1->text().toUtf8().constData());
    std::printf("  longest gap between message-loop passes: %.1f ms\n", rare.longestGapMs);

    std::string grepCount;
    const double grep = grepSeconds(dumpFile, rareNeedle, grepCount);
    std::printf("grep -ci %s over the text dump: %.3f s (%s lines); search/grep = %.1f\n",
                rareNeedle, grep, grepCount.c_str(), rare.seconds / grep);

    form.ClearList1Click();
    QCoreApplication::processEvents();
    if (const char *column = std::getenv("SORT_COLUMN"))
        emit form.FoundLV->header()->sectionClicked(std::atoi(column));
    const double heapBeforeCommon = heapInUse();
    const RunFigures common = searchFor(form, commonNeedle);
    QCoreApplication::processEvents();
    const double heapAfterCommon = heapInUse();
    std::printf("common needle \"%s\": %d rows (predicted %llu), %.3f s wall, %.3f s CPU "
                "= %.2f x rare (CPU)\n",
                commonNeedle, common.rows,
                static_cast<unsigned long long>(generated.needles[1].defaultScopeRows()),
                common.seconds, common.cpu, common.cpu / rare.cpu);
    std::printf("  longest gap between message-loop passes: %.1f ms\n", common.longestGapMs);
    common.growth.print();
    std::printf("  memory per result row: %.0f B (heap growth of the run / rows)\n",
                (heapAfterCommon - heapBeforeCommon) / std::max(common.rows, 1));

    QElapsedTimer clock;
    clock.start();
    emit form.FoundLV->header()->sectionClicked(1);
    const double sortSeconds = double(clock.nsecsElapsed()) / 1e9;
    QCoreApplication::processEvents();
    std::printf("header click re-sorting %d rows by Branch: %.3f s (with repaint %.3f s)\n",
                common.rows, sortSeconds, double(clock.nsecsElapsed()) / 1e9);

    form.FoundLV->clearSelection();
    QCoreApplication::processEvents();
    clock.start();
    form.FoundLVSelectAll();
    const double selectSeconds = double(clock.nsecsElapsed()) / 1e9;
    QCoreApplication::processEvents();
    std::printf("select-all of %d rows: %.4f s (with repaint %.4f s)\n",
                form.FoundLV->model()->rowCount(), selectSeconds,
                double(clock.nsecsElapsed()) / 1e9);
    clock.start();
    form.RefreshCounter();
    std::printf("counter refresh with every row selected: %.4f s (%s)\n",
                double(clock.nsecsElapsed()) / 1e9, form.lb6->text().toUtf8().constData());
    const double heapWithList = heapInUse();
    form.ClearList1Click();
    QCoreApplication::processEvents();
    std::printf("  the list held %.0f B per row (heap freed by Clear List / rows)\n",
                (heapWithList - heapInUse()) / std::max(common.rows, 1));
    std::remove(dumpFile.c_str());
    return 0;
}
