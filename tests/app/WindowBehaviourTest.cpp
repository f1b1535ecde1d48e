// Resizing, splitters, closing, the dialog keys and the default error display.
#include "tests/harness/WindowHarness.h"

#include "registry/api/TRegistry.h"
#include "widgets/TButton.h"
#include "widgets/TListView.h"
#include "widgets/TPanel.h"
#include "widgets/TProgressBar.h"
#include "widgets/TReportView.h"
#include "widgets/TSplitter.h"
#include "widgets/TTreeView.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

int rightGap(QWidget *control)
{
    return control->parentWidget()->width() - control->geometry().right() - 1;
}

TEST(Resize, ControlsFollowTheWindowAndTheMinimumGivesEditsOf132)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    const int gaps[] = {rightGap(form.Button1), rightGap(form.Button2), rightGap(form.Button3),
                        rightGap(form.Button4)};

    form.resize(900, 700);
    EXPECT_EQ(form.Edit1->width(), 400);
    EXPECT_EQ(form.Edit2->width(), 400);
    EXPECT_EQ(form.Button1->x(), 900 - 120);
    EXPECT_EQ(form.Button2->x(), 900 - 60);
    EXPECT_EQ(form.Panel1->geometry(), QRect(0, 0, 900, 82));
    EXPECT_EQ(form.Panel3->geometry(), QRect(0, 82, 900, 618));
    EXPECT_EQ(form.PanelReg->height(), 182); // the browser keeps its height
    EXPECT_EQ(form.RegTV->width(), 231);     // the tree keeps its width
    EXPECT_EQ(form.RegLV->geometry(), QRect(237, 1, 900 - 2 - 237 - 1, 180));
    EXPECT_EQ(form.Panel2->geometry(), QRect(1, 188, 898, 618 - 188 - 1));
    EXPECT_EQ(form.FoundLV->geometry(), QRect(1, 24, 628 + 268, 156 + 247));
    EXPECT_EQ(form.pb1->width(), 624 + 268);

    form.resize(form.minimumSize());
    EXPECT_EQ(form.Edit1->width(), 132);
    EXPECT_EQ(form.Edit2->width(), 132);
    const int after[] = {rightGap(form.Button1), rightGap(form.Button2), rightGap(form.Button3),
                         rightGap(form.Button4)};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(after[i], gaps[i]) << i;
    EXPECT_EQ(form.FoundLV->geometry(), QRect(1, 24, 628, 156));
    EXPECT_EQ(form.Panel3->geometry(), QRect(0, 82, 632, 371));
}

// The bar moves while it is dragged, so each event's point is taken afresh
// from one fixed point on the screen.
void drag(QWidget *bar, QPoint by)
{
    const QPoint start = bar->mapToGlobal(bar->rect().center());
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, bar->mapFromGlobal(start));
    QTest::mouseMove(bar, bar->mapFromGlobal(start + by / 2));
    QTest::mouseMove(bar, bar->mapFromGlobal(start + by));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, bar->mapFromGlobal(start + by));
}

TEST(Resize, SplittersMoveTheBordersAndKeepThemWhenTheWindowResizes)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    drag(form.Splitter1, {0, 40});
    EXPECT_EQ(form.PanelReg->height(), 222);
    EXPECT_EQ(form.Splitter1->y(), 223);
    EXPECT_EQ(form.Panel2->geometry(), QRect(1, 228, 630, 142));
    drag(form.Splitter2, {-100, 0});
    EXPECT_EQ(form.RegTV->width(), 131);
    EXPECT_EQ(form.RegLV->geometry(), QRect(137, 1, 492, 220));

    form.resize(800, 600);
    EXPECT_EQ(form.PanelReg->height(), 222);
    EXPECT_EQ(form.RegTV->width(), 131);
    EXPECT_EQ(form.Panel2->height(), 600 - 82 - 228 - 1);

    // Neither side can be pushed below the splitter's minimum.
    drag(form.Splitter1, {0, 2000});
    EXPECT_EQ(form.Panel2->height(), TSplitter::kMinSize);
    drag(form.Splitter2, {-2000, 0});
    EXPECT_EQ(form.RegTV->width(), TSplitter::kMinSize);

    // Squeezed to nothing by a smaller window, the result list comes back as it was.
    EXPECT_EQ(form.FoundLV->height(), TSplitter::kMinSize - 26);
    form.resize(form.minimumSize());
    EXPECT_EQ(form.FoundLV->height(), 0);
    form.resize(800, 600);
    EXPECT_EQ(form.FoundLV->geometry(), QRect(1, 24, 628 + 168, TSplitter::kMinSize - 26));
}

TEST(Closing, Button2ClosesTheWindowWithoutAQuestion)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    harness.clearBoxes();
    harness.click(form.Button2);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(harness.boxes().empty());
}

TEST(Closing, ARunningSearchIsStoppedFirst)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    // The state a running search leaves the window in.
    form.Button1->setText(QStringLiteral("St&op"));
    form.Button1->setCancel(true);
    form.Edit1->setEnabled(false);
    form.Edit2->setEnabled(false);
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.Button1->text(), "&Search");
    EXPECT_FALSE(form.Button1->isCancel());
    EXPECT_TRUE(form.Edit1->isEnabled());
    EXPECT_TRUE(form.Edit2->isEnabled());
}

TEST(DialogKeys, EnterInAnyControlButAButtonPressesButton1)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    QSignalSpy button1(form.Button1, &TButton::clicked);
    for (QWidget *control : std::initializer_list<QWidget *>{
             form.Edit1, form.Edit2, form.ckbmirr, form.RegTV, form.RegLV, form.FoundLV}) {
        const auto before = button1.count();
        harness.key(control, Qt::Key_Return);
        EXPECT_EQ(button1.count(), before + 1) << control->objectName().toStdString();
    }
    harness.key(form.Edit1, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(button1.count(), 7);

    // Each button's access key is its own: Registry… had none, Alt+R is Replace's.
    QStringList keys;
    for (TButton *button : form.findChildren<TButton *>())
        keys << QKeySequence::mnemonic(button->text()).toString();
    EXPECT_EQ(keys.removeAll(QString()), 1) << keys.join(' ').toStdString(); // Options
    EXPECT_EQ(keys.removeDuplicates(), 0) << keys.join(' ').toStdString();

    // A focused button takes Enter itself.
    QSignalSpy button2(form.Button2, &TButton::clicked);
    harness.key(form.Button2, Qt::Key_Return);
    EXPECT_EQ(button2.count(), 1);
    EXPECT_EQ(button1.count(), 7);
    EXPECT_FALSE(form.isVisible());
}

TEST(DialogKeys, EscapePressesButton1OnlyWhileItIsTheCancelButton)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    // Only the key routing is under test: a real press would run a search, which
    // ends by clearing the cancel role.
    QObject::disconnect(form.Button1, &TButton::clicked, &form, &TRegForm::Button1Click);
    QSignalSpy button1(form.Button1, &TButton::clicked);
    harness.key(form.FoundLV, Qt::Key_Escape);
    harness.key(form.Button1, Qt::Key_Escape);
    EXPECT_EQ(button1.count(), 0);

    form.Button1->setCancel(true);
    harness.key(form.FoundLV, Qt::Key_Escape);
    harness.key(form.Button1, Qt::Key_Escape);
    harness.key(form.RegTV, Qt::Key_Escape);
    EXPECT_EQ(button1.count(), 3);

    // A disabled button is not pressed by either key.
    form.Button1->setEnabled(false);
    harness.key(form.RegLV, Qt::Key_Escape);
    harness.key(form.RegLV, Qt::Key_Return);
    EXPECT_EQ(button1.count(), 3);
    EXPECT_TRUE(form.isVisible());
}

TEST(ErrorDisplay, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn)
{
    WindowHarness harness;
    TRegForm &form = harness.form();
    harness.clearBoxes();
    std::string message = "Fehler beim Holen der Daten f\xC3\xBCr 'Wert'";
    int after = 0;
    QObject::connect(form.ckbmirr, &QCheckBox::clicked, &form, [&] {
        throw ERegistryException(message);
        ++after; // never reached: the handler ends at the error
    });

    harness.click(form.ckbmirr);
    ASSERT_EQ(harness.boxes().size(), 1u);
    EXPECT_EQ(harness.boxes()[0].kind, Dialogs::TDialogKind::ErrorDisplay);
    EXPECT_EQ(harness.boxes()[0].caption, "Quarnel");
    EXPECT_EQ(harness.boxes()[0].text, message); // ends in "'", which sorts before "."
    EXPECT_EQ(harness.boxes()[0].buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(after, 0);

    // The window still works, and the next error gets its period.
    message = "Erzeugung misslungen";
    harness.key(form.Edit1, Qt::Key_Space); // keys still reach the controls
    harness.click(form.ckbmirr);
    ASSERT_EQ(harness.boxes().size(), 2u);
    EXPECT_EQ(harness.boxes()[1].text, "Erzeugung misslungen.");
    EXPECT_EQ(form.Edit1->text(), " ");
    EXPECT_TRUE(form.isVisible());

    // Errors from key-driven handlers take the same way.
    QObject::connect(form.Button1, &TButton::clicked, &form,
                     [] { throw std::runtime_error("Keine Daten."); });
    harness.key(form.Edit1, Qt::Key_Return);
    ASSERT_EQ(harness.boxes().size(), 3u);
    EXPECT_EQ(harness.boxes()[2].text, "Keine Daten.");
}

} // namespace
