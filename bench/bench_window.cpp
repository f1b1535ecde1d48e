// Times a search as the user meets it in the real window on the benchmark
// registry (bench/BenchRegistry.h): a needle typed into Edit1 with key events,
// Enter pressed, and the clock stopped when the last row is listed. Against
// `grep -ci` over the same three files in the same run. Nothing here asserts a time.
//
// "Listed" means all of these: Enter's handler has returned (the walk is over,
// Button1 reads "&Search" again, every found row is merged into the list's
// model, the rows are selected and the counter shows them), and then FoundLV's
// viewport has been painted once and the message-loop pass that painted it has
// returned (so the window's backing store went to the screen).
//
//   bench_window [--registry DIR] [--repeat N] [--keys K]
// Runs on the display DISPLAY names (e.g. `xvfb-run -a bench_window`); without
// one it says so and runs offscreen, which paints into memory only. Each needle
// is searched N times (default 5) from an emptied list, as after the start; the
// first run (the new user's first search) and the median are printed, and grep's
// median; beside them the walk alone (the engine with no window) and the CPU
// times, which a busy machine disturbs less. DIR and K as for bench_search,
// which can share DIR.
// GAP_MS=n and PAINT_GAP_MS=n try other least gaps between two message-loop
// passes and between two paints (defaults 10 and 40 ms); PAINTS=1 lists the
// widgets painted during each run; RARE_ONLY=1 ends after the rare needle.
#include "bench/BenchRegistry.h"

#include "app/Dialogs.h"
#include "app/QuarnelApplication.h"
#include "app/TRegForm.h"
#include "registry/kinds/SourceKinds.h"
#include "search/SearchEngine.h"
#include "search/SearchRunState.h"
#include "widgets/TButton.h"
#include "widgets/TReportView.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace quarnel::generator;
using namespace benchregistry;
namespace platform = quarnel::platform;

namespace {

// Counts paint events: of FoundLV's viewport, and of every widget.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *viewport) : m_viewport(viewport) {}
    int viewportPaints = 0;
    int allPaints = 0;
    std::map<std::string, int> byWidget;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++allPaints;
            if (watched == m_viewport) ++viewportPaints;
            if (std::getenv("PAINTS")) {
                const QWidget *w = static_cast<QWidget *>(watched);
                std::string name = w->metaObject()->className();
                name += "/" + w->objectName().toStdString();
                if (w->parentWidget())
                    name += " in " + w->parentWidget()->objectName().toStdString();
                ++byWidget[name];
            }
        }
        return false;
    }

private:
    QWidget *m_viewport;
};

// CPU time of the children waited for so far (grep and the shell that runs it).
double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Run
{
    double listed = 0;  // key press until the last row is listed and painted
    double handler = 0; // key press until Enter's handler returned
    double cpu = 0;
    int rows = 0;
    int paintsDuring = 0; // widget paints while the handler ran
    bool caption = false; // Button1 read "&Search" when the handler returned
};

Run searchOnce(TRegForm &form, PaintCounter &paints, const char *needle)
{
    form.ClearList1Click();
    form.Edit1->setFocus();
    QTest::keyClick(form.Edit1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(form.Edit1, QString::fromLatin1(needle));
    // The typed text is on the screen and nothing else waits, as when a user presses Enter.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();

    Run run;
    paints.allPaints = 0;
    const double cpuStart = measure::cpuSeconds();
    const double start = measure::wallSeconds();
    QTest::keyClick(form.Edit1, Qt::Key_Return);
    run.handler = measure::wallSeconds() - start;
    run.paintsDuring = paints.allPaints;
    for (const auto &[name, count] : paints.byWidget)
        std::printf("    %5d %s\n", count, name.c_str());
    paints.byWidget.clear();
    run.caption = form.Button1->text() == QStringLiteral("&Search");
    paints.viewportPaints = 0;
    const double giveUp = measure::wallSeconds() + 5;
    while (paints.viewportPaints == 0 && measure::wallSeconds() < giveUp)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    run.listed = measure::wallSeconds() - start;
    run.cpu = measure::cpuSeconds() - cpuStart;
    if (paints.viewportPaints == 0) std::printf("  (no paint of the list within 5 s)\n");
    run.rows = form.FoundLV->model()->rowCount();
    return run;
}

void searchFor(TRegForm &form, PaintCounter &paints, const std::string &dir, const char *needle,
               unsigned long long predicted, int repeat)
{
    std::vector<double> listed, handler, cpu, grep, grepCpu, walk, walkCpu;
    Run first;
    for (int i = 0; i < repeat; ++i) {
        const Run run = searchOnce(form, paints, needle);
        if (i == 0) first = run;
        listed.push_back(run.listed);
        handler.push_back(run.handler);
        cpu.push_back(run.cpu);
        const double grepCpuStart = childrenCpuSeconds();
        grep.push_back(grepSeconds(dir, needle));
        grepCpu.push_back(childrenCpuSeconds() - grepCpuStart);
        // The same walk with no window: what the window adds shows beside it.
        const double walkStart = measure::wallSeconds(), walkCpuStart = measure::cpuSeconds();
        searchRows(needle, SearchScope::defaultRoots(false));
        walk.push_back(measure::wallSeconds() - walkStart);
        walkCpu.push_back(measure::cpuSeconds() - walkCpuStart);
    }
    const double grepMedian = median(grep);
    std::printf("needle \"%s\": %d rows (predicted %llu)%s; %s\n", needle, first.rows, predicted,
                first.caption ? "" : ", CAPTION NOT BACK", form.lb1->text().toUtf8().constData());
    std::printf("  key press -> last row listed: first %.3f s, median %.3f s (fastest %.3f s), "
                "CPU median %.3f s\n",
                first.listed, median(listed), fastest(listed), median(cpu));
    std::printf("  of which Enter's handler (walk, merges, select-all): median %.3f s; "
                "%d widget paints during the first run\n",
                median(handler), first.paintsDuring);
    std::printf("  grep -ci over the three files: median %.3f s; window/grep = %.1f "
                "(first run %.1f)\n",
                grepMedian, median(listed) / grepMedian, first.listed / grepMedian);
    std::printf("  CPU time (less hit by a busy machine): window %.3f s, grep %.3f s; "
                "window/grep = %.1f\n",
                median(cpu), median(grepCpu), median(cpu) / median(grepCpu));
    std::printf("  the walk alone (no window): median %.3f s, CPU %.3f s; window/walk = %.2f "
                "(CPU %.2f)\n",
                median(walk), median(walkCpu), median(listed) / median(walk),
                median(cpu) / median(walkCpu));
}

} // namespace

int main(int argc, char **argv)
{
    benchregistry::BenchArgs args;
    args.repeat = 5;
    if (!benchregistry::readBenchArgs(argc, argv, "bench_window", args)) return 2;
    std::string &dir = args.dir;
    const int repeat = args.repeat;
    const std::size_t keys = args.keys;
    const bool temporary = dir.empty();
    Predicted predicted;
    if (!prepare(dir, keys, predicted)) return 1;
    std::printf("registry files: %.1f MB in %s\n", fileBytes(dir) / 1e6, dir.c_str());

    const char *display = std::getenv("DISPLAY");
    if (display && *display) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        std::printf("window on display %s\n", display);
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::printf("no DISPLAY: the window runs OFFSCREEN (painted into memory only); "
                    "run under xvfb-run -a for the real figure\n");
    }
    // A new user: no settings from earlier runs.
    const std::string config = privateConfigHome();

    QuarnelApplication app(argc, argv);
    QuarnelApplication::setApplicationName(QStringLiteral("Quarnel"));
    Dialogs::setAnswerer([](const Dialogs::TDialogRecord &) { return std::string(Dialogs::kOk); });
    if (const char *gap = std::getenv("GAP_MS"))
        searchrun::setMessageStepGapNs(std::int64_t(std::atof(gap) * 1e6));
    if (const char *gap = std::getenv("PAINT_GAP_MS"))
        searchrun::setPaintGapNs(std::int64_t(std::atof(gap) * 1e6));
    const auto opened = platform::openRegistryAt(dir, false);
    if (opened.status != platform::RegistryOpened::Status::Ok) {
        std::fprintf(stderr, "cannot open %s: %s\n", dir.c_str(), opened.message.c_str());
        return 1;
    }
    {
        TRegForm form; // shows itself
        form.activateWindow();
        if (!QTest::qWaitForWindowExposed(&form)) std::printf("the window was never exposed\n");
        PaintCounter paints(form.FoundLV->viewport());
        app.installEventFilter(&paints);
        QTest::qWait(100);

        searchFor(form, paints, dir, rareNeedle, predicted.rare, repeat);
        if (!std::getenv("RARE_ONLY"))
            searchFor(form, paints, dir, commonNeedle, predicted.common, std::max(1, repeat - 2));
        app.removeEventFilter(&paints);
    }
    platform::closeRegistry();
    if (!config.empty()) std::system(("rm -rf " + benchregistry::quoted(config)).c_str());
    if (temporary) std::system(("rm -rf " + benchregistry::quoted(dir)).c_str());
    return 0;
}
