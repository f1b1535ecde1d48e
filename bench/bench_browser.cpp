// Figures for the registry browser on the real window, offscreen: expanding a key
// with 100k subkeys (time and heap per loaded node), filling the value list with
// 10k and with a million values (time, heap, resident and peak memory), showing a
// 1 MB binary value.
#include "app/Dialogs.h"
#include "app/TRegForm.h"
#include "bench/Measure.h"
#include "registry/api/TRegistry.h"
#include "registry/win32/KeyStore.h"
#include "widgets/TListView.h"
#include "widgets/TTreeView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Re-posts itself; the longest time between two deliveries is how long the
// window went without handling messages.
class TPulse : public QObject
{
public:
    TPulse() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
    void reset()
    {
        m_clock.start();
        m_longest = 0;
        m_beats = 0;
    }
    qint64 longest() const { return std::max(m_longest, m_clock.elapsed()); }
    int beats() const { return m_beats; }

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User) return QObject::event(event);
        if (m_clock.isValid()) {
            m_longest = std::max(m_longest, m_clock.restart());
            ++m_beats;
        }
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        return true;
    }

private:
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
    int m_beats = 0;
};

TTreeNode *childNamed(TTreeNode *node, const std::string &name)
{
    for (int i = 0; i < node->childCount(); ++i)
        if (node->child(i)->name() == name) return node->child(i);
    return nullptr;
}

// Every fourth value of each kind the value list shows differently.
void storeValue(TRegistry &reg, const char *name, int i)
{
    const uint32_t number = static_cast<uint32_t>(i);
    switch (i % 4) {
    case 0: reg.WriteText(name, "some text of a value " + std::to_string(i)); break;
    case 1: reg.StoreData(name, &number, 4, TValueKind::vkInteger); break;
    case 2: reg.StoreData(name, name, 16, TValueKind::vkBinary); break;
    default: reg.WriteMultiText(name, "one\0two\0three\0\0", 15); break;
    }
}

void buildRegistry()
{
    TRegistry reg;
    reg.SelectRoot(HKEY_CURRENT_USER);
    reg.CreatePath("\\Bench\\Values");
    reg.CreatePath("\\Bench\\Binary");
    char name[32];
    for (int i = 0; i < 100000; ++i) {
        std::snprintf(name, sizeof name, "\\Bench\\Big\\Key%06d", i);
        reg.CreatePath(i % 2 ? std::string(name) + "\\Sub" : std::string(name));
    }
    reg.OpenPath("\\Bench\\Values");
    for (int i = 0; i < 10000; ++i) {
        std::snprintf(name, sizeof name, "Value%05d", (i * 7919) % 10000);
        storeValue(reg, name, i);
    }
    reg.CreatePath("\\Bench\\Million");
    reg.OpenPath("\\Bench\\Million");
    // In name order: the key keeps its values sorted, so that is the fast way in.
    for (int i = 0; i < 1000000; ++i) {
        std::snprintf(name, sizeof name, "Value%07d", i);
        storeValue(reg, name, i);
    }
    reg.OpenPath("\\Bench\\Binary");
    std::vector<unsigned char> big(1 << 20);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<unsigned char>(i * 31);
    reg.StoreData("Blob", big.data(), static_cast<int>(big.size()), TValueKind::vkBinary);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Wall-clock figures on a shared machine: say how busy it was.
    if (FILE *load = std::fopen("/proc/loadavg", "r")) {
        char line[64] = {};
        if (std::fgets(line, sizeof line, load)) std::printf("load average: %s", line);
        std::fclose(load);
    }
    QApplication app(argc, argv);
    quarnel::platform::setActiveStore(std::make_shared<quarnel::platform::KeyStore>());
    buildRegistry();
    Dialogs::setAnswerer([](const Dialogs::TDialogRecord &) { return std::string(Dialogs::kOk); });

    TRegForm form;
    QCoreApplication::processEvents();
    TPulse pulse;
    QElapsedTimer clock;

    TTreeNode *user = form.RootNodes[1];
    form.RegTV->expandNode(user);
    TTreeNode *bench = childNamed(user, "Bench");
    form.RegTV->expandNode(bench);
    TTreeNode *big = childNamed(bench, "Big");

    QCoreApplication::processEvents();
    form.RegTV->repaint();
    const std::size_t heapBefore = measure::heapInUse();
    pulse.reset();
    const double cpuBefore = measure::cpuSeconds();
    clock.start();
    form.RegTV->expandNode(big);
    const qint64 expandMs = clock.elapsed();
    const double expandCpu = measure::cpuSeconds() - cpuBefore;
    const qint64 expandGap = pulse.longest();
    const int beats = pulse.beats();
    clock.start();
    form.RegTV->repaint();
    const qint64 repaintMs = clock.elapsed();
    // The view lays its rows out on its own schedule; that bookkeeping belongs to the load too.
    QCoreApplication::processEvents();
    const std::size_t heapAfter = measure::heapInUse();
    std::printf("expand 100k subkeys: %lld ms, CPU %.0f ms (%d children, %d message passes, "
                "longest without messages %lld ms), repaint %lld ms\n",
                static_cast<long long>(expandMs), expandCpu * 1000, big->childCount(), beats,
                static_cast<long long>(expandGap), static_cast<long long>(repaintMs));
    std::printf("memory per loaded node: %.0f B (heap growth %.1f MB for %d nodes)\n",
                double(heapAfter - heapBefore) / big->childCount(),
                double(heapAfter - heapBefore) / 1e6, big->childCount());
    clock.start();
    form.RegTV->collapseNode(big);
    form.RegTV->expandNode(big);
    std::printf("collapse and expand again (kept): %lld ms\n",
                static_cast<long long>(clock.elapsed()));

    clock.start();
    {
        TRegistry reg;
        reg.SelectRoot(HKEY_CURRENT_USER);
        reg.OpenPath("\\Bench\\Values");
        std::vector<std::string> names;
        reg.ListValueNames(names);
        std::size_t bytes = 0;
        for (const std::string &name : names)
            bytes += static_cast<std::size_t>(reg.QueryValueSize(name)) +
                     static_cast<std::size_t>(reg.QueryValueKind(name));
        std::printf("registry reads of 10k values alone: %lld ms (%zu)\n",
                    static_cast<long long>(clock.elapsed()), bytes);
    }
    clock.start();
    form.RegTV->selectNode(childNamed(bench, "Values"));
    const qint64 fillMs = clock.elapsed();
    clock.start();
    form.RegLV->repaint();
    std::printf("fill 10k values: %lld ms (%d rows), repaint %lld ms\n",
                static_cast<long long>(fillMs), form.RegLV->rowCount(),
                static_cast<long long>(clock.elapsed()));
    clock.start();
    form.RegLVColumnClick(0);
    std::printf("reverse 10k rows: %lld ms\n", static_cast<long long>(clock.elapsed()));

    QCoreApplication::processEvents();
    pulse.reset();
    clock.start();
    form.RegTV->selectNode(childNamed(bench, "Binary"));
    const qint64 binaryFill = clock.elapsed();
    form.RegLV->repaint();
    QCoreApplication::processEvents();
    const qint64 binaryShown = clock.elapsed();
    clock.start();
    form.RegLV->repaint();
    std::printf("1 MB binary value: fill %lld ms, shown %lld ms, longest without messages "
                "%lld ms, repaint again %lld ms\n",
                static_cast<long long>(binaryFill), static_cast<long long>(binaryShown),
                static_cast<long long>(pulse.longest()), static_cast<long long>(clock.elapsed()));

    // A million values: the time until the rows are shown, and what the list
    // holds on to. The registry's own memory is there before the clock starts.
    form.RegTV->selectNode(bench);
    QCoreApplication::processEvents();
    measure::resetPeak();
    const long rssBefore = measure::statusKiB("VmRSS:");
    const std::size_t heapBeforeMillion = measure::heapInUse();
    const double cpuMillion = measure::cpuSeconds();
    clock.start();
    form.RegTV->selectNode(childNamed(bench, "Million"));
    const qint64 millionFill = clock.elapsed();
    form.RegLV->repaint();
    QCoreApplication::processEvents();
    const qint64 millionShown = clock.elapsed();
    const double millionCpu = measure::cpuSeconds() - cpuMillion;
    const std::size_t heapMillion = measure::heapInUse();
    const long rssMillion = measure::statusKiB("VmRSS:");
    const long peakMillion = measure::statusKiB("VmHWM:");
    std::printf("fill 1M values: %lld ms, shown %lld ms, CPU %.0f ms (%d rows); heap +%.1f MB, "
                "resident %.1f -> %.1f MB, peak %.1f MB (+%.1f MB)\n",
                static_cast<long long>(millionFill), static_cast<long long>(millionShown),
                millionCpu * 1000, form.RegLV->rowCount(),
                double(heapMillion - heapBeforeMillion) / 1e6, rssBefore / 1024.0,
                rssMillion / 1024.0, peakMillion / 1024.0, (peakMillion - rssBefore) / 1024.0);
    clock.start();
    form.RegLVColumnClick(0);
    std::printf("reverse 1M rows: %lld ms\n", static_cast<long long>(clock.elapsed()));
    form.RegLV->selectAll();
    clock.start();
    form.RegLVColumnClick(0);
    const qint64 reverseSelected = clock.elapsed();
    std::printf("reverse 1M rows, all selected: %lld ms (%d selected after)\n",
                static_cast<long long>(reverseSelected),
                static_cast<int>(form.RegLV->selectionModel()->selectedRows().size()));
    return 0;
}
