#include "tests/harness/WindowHarness.h"

#include "app/QuarnelApplication.h"
#include "app/UnitState.h"
#include "registry/source/RegistryFiles.h"
#include "registry/win32/KeyStore.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QTest>

namespace {

QPoint centreOr(QWidget *widget, QPoint at)
{
    return at.isNull() ? widget->rect().center() : at;
}

// Item views take mouse input on their viewport.
QWidget *mouseTarget(QWidget *widget)
{
    if (auto *area = qobject_cast<QAbstractScrollArea *>(widget)) return area->viewport();
    return widget;
}

} // namespace

void WindowHarness::ensureApplication()
{
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "quarnel_tests";
    static char *argv[] = {name, nullptr};
    // Lives until the process ends: Qt objects of later tests need it.
    new QuarnelApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarnel"));
}

WindowHarness::WindowHarness()
{
    ensureApplication();
    m_store = std::make_shared<quarnel::platform::KeyStore>();
    quarnel::platform::setActiveStore(m_store);
    // Edits in the in-memory registry keep their undo files as they would beside registry files.
    quarnel::platform::setSafetyFolderOverride(safetyFolder());
    m_configBefore = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", m_configFolder.path().toLocal8Bit());
    UnitState::searchText.clear();
    UnitState::currentRootName.clear();
    UnitState::replaceText.clear();
    UnitState::keysCounter = 0;
    UnitState::valuesCounter = 0;
    UnitState::byteTotal = 0;
    UnitState::sortColumn = 0;
    UnitState::valueListDescending = false;
    UnitState::modifierFlag = false;
    Dialogs::setAnswerer([this](const Dialogs::TDialogRecord &record) { return onBox(record); });
    m_form = std::make_unique<TRegForm>();
}

WindowHarness::~WindowHarness()
{
    m_form.reset();
    quarnel::platform::setSafetyFolderOverride({});
    Dialogs::setAnswerer({});
    processEvents();
    if (m_configBefore.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", m_configBefore);
}

std::string WindowHarness::onBox(const Dialogs::TDialogRecord &record)
{
    RecordedBox box;
    box.kind = record.kind;
    box.caption = record.caption;
    box.text = record.text;
    box.buttons = record.buttons;
    box.informative = record.informative;
    box.details = record.details;
    // During start-up the window exists only as the widget being built.
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QLatin1String("RegForm") && top->isVisible())
            box.windowVisible = true;
    if (!m_answers.empty()) {
        box.answer = m_answers.front();
        m_answers.pop_front();
    } else if (!record.buttons.empty()) {
        box.answer = record.buttons.front();
    }
    m_boxes.push_back(box);
    return box.answer;
}

void WindowHarness::click(QWidget *widget, QPoint at)
{
    QTest::mouseClick(mouseTarget(widget), Qt::LeftButton, Qt::NoModifier, centreOr(widget, at));
}

void WindowHarness::rightClick(QWidget *widget, QPoint at)
{
    QTest::mouseClick(mouseTarget(widget), Qt::RightButton, Qt::NoModifier, centreOr(widget, at));
}

void WindowHarness::doubleClick(QWidget *widget, QPoint at)
{
    QWidget *target = mouseTarget(widget);
    const QPoint pos = centreOr(widget, at);
    // As the hardware sends it: press, release, the double-click event, release.
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, pos);
}

void WindowHarness::trigger(QAction *action)
{
    action->trigger();
}

void WindowHarness::type(QWidget *widget, const std::string &text)
{
    widget->setFocus();
    QTest::keyClicks(widget, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void WindowHarness::key(QWidget *widget, int key, Qt::KeyboardModifiers modifiers)
{
    widget->setFocus();
    QTest::keyClick(widget, static_cast<Qt::Key>(key), modifiers);
}

void WindowHarness::keyDown(QWidget *widget, int key, Qt::KeyboardModifiers modifiers)
{
    widget->setFocus();
    QTest::keyPress(widget, static_cast<Qt::Key>(key), modifiers);
}

void WindowHarness::keyUp(QWidget *widget, int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyRelease(widget, static_cast<Qt::Key>(key), modifiers);
}

void WindowHarness::processEvents()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void WindowHarness::pressUndo(QWidget *widget)
{
    widget->window()->activateWindow();
    if (!QTest::qWaitForWindowActive(widget->window())) return;
    key(widget, Qt::Key_Z, Qt::ControlModifier);
}

std::string WindowHarness::registryDump()
{
    using quarnel::platform::RegKey;
    const auto text = [](quarnel::platform::UnitText name) {
        const std::u16string units = name.str();
        return QString::fromUtf16(units.data(), qsizetype(units.size()));
    };
    QString out;
    std::vector<std::pair<const RegKey *, QString>> todo{
        {&quarnel::platform::activeStore().top(), QString()}};
    while (!todo.empty()) {
        const auto [key, path] = todo.back();
        todo.pop_back();
        out += path + (key->isLink ? QStringLiteral(" (link)\n") : QStringLiteral("\n"));
        for (const auto &value : key->values) {
            const auto data = value.dataCopy();
            const QByteArray bytes(reinterpret_cast<const char *>(data.data()),
                                   qsizetype(data.size()));
            out += QStringLiteral("  %1 type %2: %3\n")
                       .arg(text(value.name()), QString::number(value.type),
                            QString::fromLatin1(bytes.toHex()));
        }
        for (auto it = key->subkeys.rbegin(); it != key->subkeys.rend(); ++it)
            todo.push_back({it->get(), path + QLatin1Char('\\') + text((*it)->name())});
    }
    return out.toStdString();
}
