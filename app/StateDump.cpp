#include "app/StateDump.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTreeView>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Rows beyond this many per view are counted but not listed; the tests use small registries.
constexpr int kMaxListedRows = 2000;

int g_wakePipe[2] = {-1, -1};

void onSignal(int)
{
    // Only async-signal-safe work here: wake the event loop, which writes the dump.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_wakePipe[1], &byte, 1);
    errno = savedErrno;
}

// The width a text needs as drawn (its widest line, without the mnemonic marker) beside
// the width its control leaves for it, so that a test can find texts that are cut off.
void addTextFit(QJsonObject &state, const QWidget *widget, const QString &text, int room)
{
    QString shown = text;
    shown.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    shown.remove(QLatin1Char('&'));
    shown.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    int needed = 0;
    for (const QString &line : shown.split(QLatin1Char('\n')))
        needed = qMax(needed, widget->fontMetrics().horizontalAdvance(line));
    state["textWidth"] = needed;
    state["textRoom"] = room;
}

int buttonTextRoom(const QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const bool check = qobject_cast<const QCheckBox *>(button) != nullptr;
    return button->style()
        ->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents,
                         &option, button)
        .width();
}

QJsonArray geometryOf(const QWidget *widget, const QWidget *window)
{
    const QPoint origin = widget == window ? widget->pos() : widget->mapTo(window, QPoint(0, 0));
    return {origin.x(), origin.y(), widget->width(), widget->height()};
}

void addRows(const QAbstractItemView *view, const QWidget *window, const QAbstractItemModel *model,
             const QModelIndex &parent, int depth, QJsonArray &rows, int &listed)
{
    const auto *tree = qobject_cast<const QTreeView *>(view);
    const int columns = model->columnCount(parent);
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex first = model->index(row, 0, parent);
        if (listed < kMaxListedRows) {
            QJsonArray cells;
            for (int column = 0; column < columns; ++column)
                cells.append(model->index(row, column, parent).data().toString());
            QJsonObject entry{{"cells", cells}, {"depth", depth}};
            if (view->selectionModel() && view->selectionModel()->isSelected(first))
                entry["selected"] = true;
            if (view->currentIndex() == first) entry["current"] = true;
            if (tree && tree->isExpanded(first)) entry["expanded"] = true;
            // Where the row's first cell is on screen, for clicks; absent when scrolled away.
            const QRect cell = view->visualRect(first);
            if (cell.isValid() && view->viewport()->rect().intersects(cell)) {
                const QPoint origin = view->viewport()->mapTo(window, cell.topLeft());
                entry["rect"] = QJsonArray{origin.x(), origin.y(), cell.width(), cell.height()};
            }
            rows.append(entry);
        }
        ++listed;
        // Only what the user can unfold is listed: children of expanded nodes.
        if (tree && tree->isExpanded(first))
            addRows(view, window, model, first, depth + 1, rows, listed);
    }
}

QJsonObject describeView(const QAbstractItemView *view, const QWidget *window)
{
    QJsonObject state;
    const QAbstractItemModel *model = view->model();
    if (!model) return state;
    QJsonArray headers;
    for (int column = 0; column < model->columnCount(); ++column)
        headers.append(model->headerData(column, Qt::Horizontal).toString());
    QJsonArray rows;
    int listed = 0;
    addRows(view, window, model, QModelIndex(), 0, rows, listed);
    state["headers"] = headers;
    state["rowCount"] = model->rowCount();
    state["rows"] = rows;
    return state;
}

// The texts and states of one widget, or an empty object when it shows nothing of interest.
QJsonObject describeWidget(const QWidget *widget, const QWidget *window)
{
    QJsonObject state;
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        state["text"] = label->text();
        if (!label->wordWrap() && label->textFormat() != Qt::RichText)
            addTextFit(state, label, label->text(),
                       label->contentsRect().width() - 2 * label->margin());
    } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        state["text"] = button->text();
        addTextFit(state, button, button->text(), buttonTextRoom(button));
        if (button->isCheckable()) state["checked"] = button->isChecked();
        if (const auto *push = qobject_cast<const QPushButton *>(widget))
            state["default"] = push->isDefault();
    } else if (const auto *edit = qobject_cast<const QLineEdit *>(widget)) {
        state["text"] = edit->text();
    } else if (const auto *bar = qobject_cast<const QProgressBar *>(widget)) {
        state["value"] = bar->value();
        state["maximum"] = bar->maximum();
    } else if (const auto *view = qobject_cast<const QAbstractItemView *>(widget)) {
        if (qobject_cast<const QHeaderView *>(widget)) return {};
        state = describeView(view, window);
    } else if (widget->objectName().isEmpty()) {
        return {};
    }
    state["class"] = QString::fromLatin1(widget->metaObject()->className());
    state["name"] = widget->objectName();
    state["visible"] = widget->isVisibleTo(window);
    state["enabled"] = widget->isEnabled();
    state["geometry"] = geometryOf(widget, window);
    if (!widget->toolTip().isEmpty()) state["toolTip"] = widget->toolTip();
    return state;
}

QJsonObject describeWindow(QWidget *window)
{
    QJsonObject state{
        {"class", QString::fromLatin1(window->metaObject()->className())},
        {"name", window->objectName()},
        {"title", window->windowTitle()},
        {"active", window->isActiveWindow()},
        {"modal", window->isModal()},
        {"geometry", geometryOf(window, window)},
        // Geometries are in device-independent pixels; X coordinates are these times the ratio.
        {"devicePixelRatio", window->devicePixelRatio()},
    };
    QJsonArray widgets;
    for (const QWidget *child : window->findChildren<QWidget *>()) {
        if (child->isWindow()) continue; // listed as a window of its own when shown
        const QJsonObject entry = describeWidget(child, window);
        if (!entry.isEmpty()) widgets.append(entry);
    }
    state["widgets"] = widgets;
    if (const auto *menu = qobject_cast<const QMenu *>(window)) {
        QJsonArray actions;
        for (const QAction *action : menu->actions())
            actions.append(QJsonObject{{"text", action->text()},
                                       {"enabled", action->isEnabled()},
                                       {"separator", action->isSeparator()}});
        state["actions"] = actions;
    }
    return state;
}

} // namespace

namespace StateDump {

QByteArray snapshot(int serial)
{
    QJsonArray windows;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible()) windows.append(describeWindow(window));
    const QWidget *focus = QApplication::focusWidget();
    const QJsonObject root{
        {"serial", serial},
        {"pid", static_cast<qint64>(QCoreApplication::applicationPid())},
        {"busyCursor", QApplication::overrideCursor() != nullptr},
        {"focus", focus ? focus->objectName() : QString()},
        {"windows", windows},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

void installFromEnvironment()
{
    const QString path = qEnvironmentVariable("QUARNEL_DUMP_STATE");
    if (path.isEmpty() || g_wakePipe[0] != -1) return;
    if (pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;

    static int serial = 0;
    const auto dump = [path] {
        // Written aside and renamed, so a reader never sees half a dump.
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(snapshot(serial++));
            file.commit();
        }
    };
    auto *notifier = new QSocketNotifier(g_wakePipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [dump] {
        char buffer[64];
        while (read(g_wakePipe[0], buffer, sizeof buffer) > 0) {
        }
        dump();
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, nullptr);
    // The first dump (serial 0, no windows yet) tells a driver that SIGUSR1 is now safe to send.
    dump();
}

} // namespace StateDump
