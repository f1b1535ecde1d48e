// The building blocks: progress bar, sorted list, dialog boxes.
#include "tests/harness/WindowHarness.h"

#include "app/Dialogs.h"
#include "app/HistoryWindow.h"
#include "browser/ValueListModel.h"
#include "widgets/QtText.h"
#include "widgets/TListView.h"
#include "widgets/TProgressBar.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

TEST(ProgressBar, MaximumZeroShowsAnEmptyBarNotTheBusyAnimation)
{
    WindowHarness::ensureApplication();
    TProgressBar bar;
    bar.resize(200, 10);
    bar.setMax(0);
    bar.setPosition(5);
    EXPECT_EQ(bar.position(), 0);
    EXPECT_LT(bar.minimum(), bar.maximum()); // Qt's busy mode is minimum == maximum
    QProgressBar empty;
    empty.setTextVisible(false);
    empty.resize(200, 10);
    empty.setRange(0, 1);
    empty.setValue(0);
    EXPECT_EQ(bar.grab().toImage(), empty.grab().toImage());

    bar.stepIt(); // no range to step in
    EXPECT_EQ(bar.position(), 0);
}

TEST(ProgressBar, PositionClampsAndStepItStartsOverPastMax)
{
    WindowHarness::ensureApplication();
    TProgressBar bar;
    bar.setMax(7);
    bar.setStep(1);
    for (int i = 0; i < 7; ++i)
        bar.stepIt();
    EXPECT_EQ(bar.position(), 7);
    EXPECT_EQ(bar.value(), 7);
    bar.stepIt();
    EXPECT_EQ(bar.position(), 1);
    bar.setPosition(99);
    EXPECT_EQ(bar.position(), 7);
    bar.setMax(3); // a smaller range pulls the position in
    EXPECT_EQ(bar.position(), 3);
    bar.setPosition(-4);
    EXPECT_EQ(bar.position(), 0);
}

TEST(ListView, SortAllUsesTheCompareCallbackAndKeepsTheSelection)
{
    WindowHarness::ensureApplication();
    TListView list;
    ValueListModel model;
    list.setModel(&model);
    bool descending = false;
    const auto compare = [&](std::string_view a, std::string_view b) {
        const int order = QString::compare(toQt(a), toQt(b), Qt::CaseInsensitive);
        return descending ? -order : order;
    };
    model.beginFill();
    for (const char *name : {"b", "C", "a", "B"})
        model.addRow(name, REG_SZ, false, name);
    model.endFill();
    list.setRowSelected(2, true); // "a"
    model.sort(compare);
    QStringList order;
    for (int i = 0; i < list.rowCount(); ++i)
        order << list.text(i, 0);
    EXPECT_EQ(order, QStringList({"a", "b", "B", "C"})); // equal rows keep their order
    ASSERT_EQ(list.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(list.text(list.firstSelectedRow(), 0), "a");

    descending = true;
    model.sort(compare);
    EXPECT_EQ(list.text(0, 0), "C");
    EXPECT_EQ(list.text(3, 0), "a");
}

TEST(Dialogs, KindsHaveTheirCaptionsAndButtons)
{
    using Dialogs::TDialogKind;
    EXPECT_EQ(Dialogs::recordFor(TDialogKind::Warning, "x").caption, "Warnung");
    EXPECT_EQ(Dialogs::recordFor(TDialogKind::Information, "x").caption, "Informationen");
    EXPECT_EQ(Dialogs::recordFor(TDialogKind::Confirmation, "x").caption, "Best\xC3\xA4tigung");
    EXPECT_EQ(Dialogs::recordFor(TDialogKind::Error, "x").caption, "Fehler");
    const std::vector<std::string> ok = {"OK"};
    EXPECT_EQ(Dialogs::recordFor(TDialogKind::Error, "x").buttons, ok);
    EXPECT_EQ(Dialogs::recordFor(TDialogKind::Confirmation, "x").buttons,
              (std::vector<std::string>{"OK", "Abbrechen"}));
}

TEST(Dialogs, ConfirmGoesAheadOnlyOnOK)
{
    std::vector<std::string> answers = {"OK", "Abbrechen", "", "ok"};
    std::vector<Dialogs::TDialogRecord> seen;
    Dialogs::setAnswerer([&](const Dialogs::TDialogRecord &record) {
        seen.push_back(record);
        std::string answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    EXPECT_TRUE(Dialogs::confirm("Delete?"));
    EXPECT_FALSE(Dialogs::confirm("Delete?"));
    EXPECT_FALSE(Dialogs::confirm("Delete?"));
    EXPECT_FALSE(Dialogs::confirm("Delete?"));
    Dialogs::setAnswerer({});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].kind, Dialogs::TDialogKind::Confirmation);
    EXPECT_EQ(seen[0].text, "Delete?");
}

TEST(Dialogs, ErrorDisplayAddsAPeriodWhenTheLastByteSortsAfterIt)
{
    EXPECT_EQ(Dialogs::errorDisplayText("abc"), "abc.");
    EXPECT_EQ(Dialogs::errorDisplayText("abc."), "abc.");
    EXPECT_EQ(Dialogs::errorDisplayText("key 'x'"), "key 'x'");
    EXPECT_EQ(Dialogs::errorDisplayText("failed 42"), "failed 42.");
    EXPECT_EQ(Dialogs::errorDisplayText("trailing "), "trailing ");
    EXPECT_EQ(Dialogs::errorDisplayText("a-"), "a-");
    EXPECT_EQ(Dialogs::errorDisplayText("Gr\xC3\xBC\xC3\x9F"), "Gr\xC3\xBC\xC3\x9F.");
    EXPECT_EQ(Dialogs::errorDisplayText(""), "");
}

// Real boxes, driven from inside their own modal loop.
QMessageBox *openBox()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(top); box && box->isVisible()) return box;
    return nullptr;
}

std::string answerRealBox(const std::function<void(QMessageBox *)> &act,
                          const std::function<std::string()> &show)
{
    QTimer::singleShot(0, [&] {
        if (QMessageBox *box = openBox()) act(box);
    });
    return show();
}

TEST(Dialogs, RealBoxesHaveGermanButtonsAndClosingAConfirmationCancels)
{
    WindowHarness::ensureApplication();
    QStringList buttons;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    auto look = [&](QMessageBox *box) {
        caption = box->windowTitle();
        icon = box->icon();
        buttons.clear();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
    };
    const bool confirmed =
        answerRealBox(
            [&](QMessageBox *box) {
                look(box);
                box->reject(); // Escape or the close button
            },
            [] { return std::string(Dialogs::confirm("Sure?") ? "yes" : "no"); }) == "yes";
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(caption, QString::fromUtf8("Best\xC3\xA4tigung"));
    EXPECT_EQ(icon, QMessageBox::Question);
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"Abbrechen", "OK"}));

    const bool ok =
        answerRealBox(
            [&](QMessageBox *box) {
                for (QAbstractButton *button : box->buttons())
                    if (button->text() == "OK") button->click();
            },
            [] { return std::string(Dialogs::confirm("Sure?") ? "yes" : "no"); }) == "yes";
    EXPECT_TRUE(ok);

    // A registry name that looks like markup shows as written.
    bool labelFound = false;
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    answerRealBox(
        [&](QMessageBox *box) {
            look(box);
            if (const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
                labelFound = true;
                format = label->textFormat();
                shown = label->text();
            }
            box->reject();
        },
        [] {
            Dialogs::warning("not deleted: HKEY_CURRENT_USER\\<b>x</b>");
            return std::string();
        });
    EXPECT_EQ(caption, "Warnung");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QStringList({"OK"}));
    ASSERT_TRUE(labelFound);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, QStringLiteral("not deleted: HKEY_CURRENT_USER\\<b>x</b>"));
}

// Enter opens a focused link and presses a focused button; only elsewhere does it
// give the default answer. History has no default at all.
TEST(Dialogs, EnterOpensTheFocusedLinkOrPressesTheFocusedButton)
{
    WindowHarness::ensureApplication();
    int lists = 0;
    const std::string answer = answerRealBox(
        [&](QMessageBox *box) {
            box->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(box));
            box->findChild<QLabel *>("qt_msgbox_informativelabel")->setFocus(Qt::TabFocusReason);
            for (int press = 0; press < 2; ++press) { // as Tab reaches it, then its link marked
                QTimer::singleShot(0, [&] {
                    auto *list = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                    if (list && list != box && ++lists) list->reject();
                });
                QTest::keyClick(box->focusWidget(), Qt::Key_Return);
                QTest::keyClick(box->focusWidget(), Qt::Key_Tab);
            }
            box->buttons().constLast()->setFocus(Qt::TabFocusReason); // Abbrechen
            QTest::keyClick(box->focusWidget(), Qt::Key_Return);
        },
        [] {
            return std::string(Dialogs::confirmShowing("Go?", "3 changes.", "x\n") ? "OK" : "no");
        });
    EXPECT_EQ(lists, 2);
    EXPECT_EQ(answer, "no");

    HistoryWindow history(nullptr, {}, {});
    history.show();
    QTest::keyClick(history.changes(), Qt::Key_Return);
    EXPECT_TRUE(history.isVisible());
    QTest::keyClick(history.findChild<QPushButton *>("HistoryClose"), Qt::Key_Return);
    EXPECT_FALSE(history.isVisible());
}

// A text too long for the screen: its first lines and the count of those left out.
TEST(Dialogs, LongTextsAreCutWithACountAndTheBoxFitsTheScreen)
{
    WindowHarness::ensureApplication();
    const std::string confirmation =
        "Delete Key \n\rHKEY_CURRENT_USER\\Software\\Test\n\rand all its SubKeys?";
    EXPECT_EQ(Dialogs::boxText(confirmation), confirmation);
    const std::string longPath = "not opened: " + std::string(300, 'k') + "\n";
    EXPECT_EQ(Dialogs::boxText(longPath), longPath); // wraps into a few lines, and fits

    std::string failures = "Undo failed:";
    for (int i = 0; i < 19980; ++i)
        failures += "\nHKEY_CURRENT_USER\\Software\\qzxk" + std::to_string(i);
    const std::string cut = Dialogs::boxText(failures);
    EXPECT_EQ(cut.rfind("Undo failed:\nHKEY_CURRENT_USER\\Software\\qzxk0\n", 0), 0u);
    const std::size_t shown = Dialogs::kBoxLines - 1;
    EXPECT_NE(cut.find("qzxk" + std::to_string(shown - 2) + "\n"), std::string::npos);
    EXPECT_EQ(cut.substr(cut.rfind('\n') + 1),
              "and " + std::to_string(19981 - shown) + " more lines");

    const std::string cutLine = Dialogs::boxText(std::string(100000, 'x') + "\nsecond");
    EXPECT_EQ(cutLine, std::string((Dialogs::kBoxLines - 1) * 80, 'x') + "...\nand 1 more line");

    std::string answered;
    Dialogs::setAnswerer([&](const Dialogs::TDialogRecord &record) {
        answered = record.text;
        return std::string(Dialogs::kOk);
    });
    Dialogs::error(failures);
    Dialogs::setAnswerer({});
    EXPECT_EQ(answered, failures); // the whole text is the caller's; only the box cuts it

    const std::string deepKey = "not opened: HKEY_CURRENT_USER\\" + std::string(67, 'k');
    for (const std::string &text : {failures, std::string(100000, 'x'), deepKey}) {
        QSize size, room;
        QString label;
        answerRealBox(
            [&](QMessageBox *box) {
                size = box->frameGeometry().size();
                room = box->screen()->availableGeometry().size();
                label = box->text();
                box->buttons().front()->click();
            },
            [&] {
                Dialogs::error(text);
                return std::string();
            });
        EXPECT_GT(size.height(), 0);
        EXPECT_LE(size.height(), room.height());
        EXPECT_LE(size.width(), room.width());
        if (text == deepKey) {
            EXPECT_EQ(fromQt(label), deepKey); // fits: shown as it is
        }
        EXPECT_EQ(fromQt(label.remove(QChar(0x200B))), Dialogs::boxText(text)); // break chances
    }
}

} // namespace
