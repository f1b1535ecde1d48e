#include "browser/ImportProgress.h"

#include "widgets/QtText.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

constexpr qint64 kShowAfterMs = 300; // a short import never flashes a box
constexpr qint64 kPaintEveryMs = 40; // as a search walk paints

} // namespace

ImportProgress::ImportProgress(QWidget *parent) : QDialog(parent)
{
    setObjectName("ImportProgress");
    setWindowTitle("Quarnel");
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    auto *layout = new QVBoxLayout(this);
    m_label = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_bar->setMinimumWidth(360);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    m_sinceStep.start();
    m_sincePaint.start();
}

void ImportProgress::step(const std::string &text, int from, int to)
{
    m_label->setText(toQt(text));
    m_from = from;
    m_to = to;
    m_bar->setValue(from);
    m_sinceStep.restart();
}

quarnel::ImportProgress ImportProgress::tracker()
{
    return [this](std::size_t done, std::size_t total) { advance(done, total); };
}

void ImportProgress::advance(std::size_t done, std::size_t total)
{
    if (m_sincePaint.elapsed() < kPaintEveryMs) return;
    if (!isVisible()) {
        if (m_sinceStep.elapsed() < kShowAfterMs) return;
        show();
    }
    const double part = total == 0 ? 1.0 : double(done) / double(total);
    m_bar->setValue(m_from + int(part * (m_to - m_from)));
    // Modal: only paints and this box get through, no handler of the window.
    QCoreApplication::processEvents();
    m_sincePaint.restart();
}
