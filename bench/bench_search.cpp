// Times the real window on the generator's benchmark registry, kept as Wine
// registry files: the load (until the window can be used) against `cat` of the
// three files, memory after and during the load, a rare and a common needle's
// search against `grep -ci` over the same files in the same run, one header
// click and select-all on the big list, the longest gap between two
// message-loop passes during a run, whether rows appear while it goes on, and
// the heap each result row of the big list costs. Nothing here asserts a time.
//
//   bench_search [--registry DIR] [--repeat N] [--keys K]
// K makes a smaller registry of the same shape (for profiling). DIR keeps the
// generated files between runs (made when it has no system.reg); without it they
// go to a temporary folder removed at the end. Each search and grep is run N
// times (default 3) and the fastest counts, as the machine is shared.
// GAP_MS=n tries another least gap between two passes (default 10 ms).
// SORT_COLUMN=n sorts the list by column n before the common search; 4 (Value)
// scatters the found rows most, so merging them costs most.
// RARE_ONLY=1 ends after the rare search, so that a profile shows the walk alone.
#include "bench/BenchRegistry.h"

#include "app/Dialogs.h"
#include "app/QuarnelApplication.h"
#include "app/TRegForm.h"
#include "registry/kinds/SourceKinds.h"
#include "search/SearchRunState.h"
#include "widgets/TButton.h"
#include "widgets/TReportView.h"

#include <QAbstractItemModel>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

using namespace quarnel::generator;
using namespace benchregistry;
namespace platform = quarnel::platform;

namespace {

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
    double seconds = 1e9;
    double cpu = 1e9;
    double longestGapMs = 0;
    int rows = 0;
    ListGrowth growth;
};

// One run for `needle`; a zero-interval timer fires at every message-loop pass
// and records the longest time between two of them.
RunFigures searchOnce(TRegForm &form, const char *needle)
{
    form.Edit1->setText(QString::fromLatin1(needle));
    QElapsedTimer sinceLast;
    double longest = 0;
    RunFigures figures;
    double start = 0;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (sinceLast.isValid())
            longest = std::max(longest, double(sinceLast.nsecsElapsed()) / 1e6);
        sinceLast.start();
        figures.growth.seen(form.FoundLV->model()->rowCount(), measure::wallSeconds() - start);
    });
    probe.start();
    start = measure::wallSeconds();
    const double cpuBefore = measure::cpuSeconds();
    form.Button1->click();
    figures.seconds = measure::wallSeconds() - start;
    figures.cpu = measure::cpuSeconds() - cpuBefore;
    probe.stop();
    figures.longestGapMs = longest;
    figures.rows = form.FoundLV->model()->rowCount();
    return figures;
}

// The fastest of `repeat` runs (wall and CPU each), the longest gap of all.
RunFigures searchFor(TRegForm &form, const char *needle, int repeat)
{
    RunFigures best;
    for (int i = 0; i < repeat; ++i) {
        const RunFigures run = searchOnce(form, needle);
        best.seconds = std::min(best.seconds, run.seconds);
        best.cpu = std::min(best.cpu, run.cpu);
        best.longestGapMs = std::max(best.longestGapMs, run.longestGapMs);
        best.rows = run.rows;
        best.growth = run.growth;
    }
    return best;
}

double grepFor(const std::string &dir, const char *needle, int repeat)
{
    double best = 1e9;
    for (int i = 0; i < repeat; ++i)
        best = std::min(best, grepSeconds(dir, needle));
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    benchregistry::BenchArgs args;
    args.repeat = 3;
    if (!benchregistry::readBenchArgs(argc, argv, "bench_search", args)) return 2;
    std::string &dir = args.dir;
    const int repeat = args.repeat;
    const std::size_t keys = args.keys;
    const bool temporary = dir.empty();
    Predicted predicted;
    if (!prepare(dir, keys, predicted)) return 1;
    const double bytes = fileBytes(dir);
    double cat = 1e9;
    for (int i = 0; i < repeat; ++i)
        cat = std::min(cat, commandSeconds("cat" + fileList(dir) + " > /dev/null"));
    std::printf("registry files: %.1f MB in %s; cat of the three: %.3f s\n", bytes / 1e6,
                dir.c_str(), cat);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string config = benchregistry::privateConfigHome();
    QuarnelApplication app(argc, argv);
    QuarnelApplication::setApplicationName(QStringLiteral("Quarnel"));
    Dialogs::setAnswerer([](const Dialogs::TDialogRecord &) { return std::string(Dialogs::kOk); });
    QCoreApplication::processEvents();

    // The load: from opening the files until the window is up and idle.
    const double rssBefore = measure::statusKiB("VmRSS:") / 1024.0;
    measure::resetPeak();
    const double loadStart = measure::wallSeconds(), loadCpuStart = measure::cpuSeconds();
    const auto opened = platform::openRegistryAt(dir, false);
    const double filesSeconds = measure::wallSeconds() - loadStart;
    if (opened.status != platform::RegistryOpened::Status::Ok) {
        std::fprintf(stderr, "cannot open %s: %s\n", dir.c_str(), opened.message.c_str());
        return 1;
    }
    if (const char *gap = std::getenv("GAP_MS"))
        searchrun::setMessageStepGapNs(std::int64_t(std::atof(gap) * 1e6));
    auto form = std::make_unique<TRegForm>();
    QCoreApplication::processEvents();
    const double loadSeconds = measure::wallSeconds() - loadStart,
                 loadCpu = measure::cpuSeconds() - loadCpuStart;
    const double rssAfter = measure::statusKiB("VmRSS:") / 1024.0,
                 peak = measure::statusKiB("VmHWM:") / 1024.0;
    std::printf("load until the window is up: %.3f s wall (files %.3f s), %.3f s CPU; "
                "load/cat = %.1f\n",
                loadSeconds, filesSeconds, loadCpu, loadSeconds / cat);
    std::printf("memory: %.1f MB resident after load (%.1f MB before it), peak during load "
                "%.1f MB\n",
                rssAfter, rssBefore, peak);

    const RunFigures rare = searchFor(*form, rareNeedle, repeat);
    const double grepRare = grepFor(dir, rareNeedle, repeat);
    std::printf("rare needle \"%s\": %d rows (predicted %llu), %.3f s wall, %.3f s CPU; %s\n",
                rareNeedle, rare.rows, predicted.rare, rare.seconds, rare.cpu,
                form->lb1->text().toUtf8().constData());
    std::printf("  grep -ci over the three files: %.3f s; search/grep = %.1f (CPU %.1f)\n",
                grepRare, rare.seconds / grepRare, rare.cpu / grepRare);
    std::printf("  longest gap between message-loop passes: %.1f ms\n", rare.longestGapMs);
    if (std::getenv("RARE_ONLY")) return 0;

    form->ClearList1Click();
    QCoreApplication::processEvents();
    if (const char *column = std::getenv("SORT_COLUMN"))
        emit form->FoundLV->header()->sectionClicked(std::atoi(column));
    const double heapBeforeCommon = double(measure::heapInUse());
    const RunFigures common = searchFor(*form, commonNeedle, std::max(1, repeat - 1));
    QCoreApplication::processEvents();
    const double heapAfterCommon = double(measure::heapInUse());
    const double grepCommon = grepFor(dir, commonNeedle, repeat);
    std::printf("common needle \"%s\": %d rows (predicted %llu), %.3f s wall, %.3f s CPU "
                "= %.2f x rare (CPU)\n",
                commonNeedle, common.rows, predicted.common, common.seconds, common.cpu,
                common.cpu / rare.cpu);
    std::printf("  grep -ci over the three files: %.3f s; search/grep = %.1f (CPU %.1f)\n",
                grepCommon, common.seconds / grepCommon, common.cpu / grepCommon);
    std::printf("  longest gap between message-loop passes: %.1f ms; %.1f MB resident\n",
                common.longestGapMs, measure::statusKiB("VmRSS:") / 1024.0);
    common.growth.print();
    std::printf("  memory per result row: %.0f B (heap growth of the run / rows)\n",
                (heapAfterCommon - heapBeforeCommon) / std::max(common.rows, 1));

    QElapsedTimer clock;
    clock.start();
    emit form->FoundLV->header()->sectionClicked(1);
    const double sortSeconds = double(clock.nsecsElapsed()) / 1e9;
    QCoreApplication::processEvents();
    std::printf("header click re-sorting %d rows by Branch: %.3f s (with repaint %.3f s)\n",
                common.rows, sortSeconds, double(clock.nsecsElapsed()) / 1e9);

    form->FoundLV->clearSelection();
    QCoreApplication::processEvents();
    clock.start();
    form->FoundLVSelectAll();
    const double selectSeconds = double(clock.nsecsElapsed()) / 1e9;
    QCoreApplication::processEvents();
    std::printf("select-all of %d rows: %.4f s (with repaint %.4f s)\n",
                form->FoundLV->model()->rowCount(), selectSeconds,
                double(clock.nsecsElapsed()) / 1e9);
    clock.start();
    form->RefreshCounter();
    std::printf("counter refresh with every row selected: %.4f s (%s)\n",
                double(clock.nsecsElapsed()) / 1e9, form->lb6->text().toUtf8().constData());

    const double heapWithList = double(measure::heapInUse());
    form->ClearList1Click();
    QCoreApplication::processEvents();
    std::printf("  the list held %.0f B per row (heap freed by Clear List / rows)\n",
                (heapWithList - double(measure::heapInUse())) / std::max(common.rows, 1));

    form.reset();
    platform::closeRegistry();
    if (!config.empty()) std::system(("rm -rf " + quoted(config)).c_str());
    if (temporary) std::system(("rm -rf " + quoted(dir)).c_str());
    return 0;
}
