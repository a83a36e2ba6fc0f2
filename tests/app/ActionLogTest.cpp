#include "MainWindowFixture.h"

#include "app/MainWindowActions.h"
#include "methods/QuorAndrewsCurves.h"
#include "methods/QuorParallelCoordinates.h"
#include "methods/QuorPermutationmatrix.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QToolBar>
#include <QSet>
#include <QWhatsThis>

namespace {

// Each command and the log line it writes with no plot open; empty: none.
struct TLogCase {
    const char* Action;
    const char* Code;
};

const TLogCase LogCases[] = {
    {"ActionCopyToClipboard", "Addin.1"}, {"ActionPrint", "Addin.2"}, {"LoadXML1", "Addin.3"},
    {"SavetoXML1", "Addin.4"}, {"ActionHidePoints", "Edit.2"}, {"ActionUnhidePoints", "Edit.3"},
    {"ActionPickPoints", "Edit.4"}, {"ActionUnhideAllPoints", "Edit.5"}, {"ActionSelectAll", "Edit.6"},
    {"ActionSelectVisible", "Edit.7"}, {"ActionHideDims", "Edit.8"}, {"ActionUnhideAllDims", "Edit.9"},
    {"InvertBackground1", "Edit.10"}, {"ActionAutoPermutePoints", "2.1"}, {"ActionGroupPoints", "2.2"},
    {"ActionSortPointsAsc", "2.3"}, {"ActionSortPointsDesc", "2.4"}, {"ActionAutoPermuteDims", "2.5"},
    {"ActionGroupDims", "2.6"}, {"ActionSortDimsAsc", "2.7"}, {"ActionSortDimsDesc", "2.8"},
    {"ActionCropSubSelection", "2.9"}, {"ActionPMMethodB", "Tools.10.2"}, {"ActionPMMethodC", "Tools.10.3"},
    {"ActionPMMethodA", "Tools.10.1"}, {"ActionPMConstantWeight", "Tools.12"}, {"ActionTranspose", "Source.1"},
    {"ActionReset", "Source.2"}, {"ActionRefresh", "Source.3"}, {"ActionResetSliders", "Source.4"},
    {"ActionResetDimBounds", "Source.5"}, {"ActionFitBounds", "fitbounds"}, {"ActionFitBounds", "unfitbounds"},
    {"ActionFullScale", "1.1"}, {"ActionSelectPointsUnderSlider", ""}, {"ActionPMRotateView", "2.10"},
    {"ActionPMDTShade", "2.12"}, {"ActionPMDTShadeUserColors", "2.13"}, {"ActionPMDTBar90", "2.14"},
    {"ActionPMDTBar", "2.11"}, {"ActionPMDTBarShade", ""}, {"ActionPMDTBar90Shade", ""},
    {"ActionPMConstantDimExtent", "2.15"}, {"ActionPMSTRowVisible", ""}, {"ActionPMSTTableAll", ""},
    {"ActionPMMTColAll", ""}, {"ActionPMMTRowAll", ""}, {"ActionSMDot1", "3.1"}, {"ActionSMDot2", "3.2"},
    {"ActionSMDot3", "3.3"}, {"ActionACOmitHiddenDims", "4.1"}, {"WindowTileVertical", "tile"},
    {"WindowTileHorizontal", ""}, {"WindowCascade", "cascade"}, {"WindowArrangeIcons", ""},
    {"WindowMinimizeAll", ""}, {"ActionToggleTransparency", ""}, {"ActionToggleTransparency", ""},
    {"ActionHelpContents", ""}, {"ActionContextHelp", ""}, {"ActionQuorbelAbout", ""},
};

} // namespace

TEST_F(MainWindowTest, EveryCommandWritesItsLogCode)
{
    for (const TLogCase& c : LogCases) {
        QAction* action = Window->Action(QString::fromLatin1(c.Action));
        ASSERT_TRUE(action) << c.Action;
        const int before = int(GetLog().size());
        action->setEnabled(true); // the selection-dependent ones wait for a selection
        action->trigger();
        if (QWhatsThis::inWhatsThisMode())
            QWhatsThis::leaveWhatsThisMode();
        const QStringList added = Codes().mid(before);
        if (*c.Code)
            EXPECT_EQ(added.value(0), QString::fromLatin1(c.Code)) << c.Action;
        else
            EXPECT_TRUE(added.isEmpty()) << c.Action << ": " << added.join(u'|').toStdString();
        EXPECT_LE(added.size(), 2) << c.Action; // the XML commands log their file's lines after it
    }
    // Both questions were asked after their log line, with their help topics.
    std::vector<int> contexts;
    for (const auto& request : Responder->Requests())
        if (request.buttons & mbHelp)
            contexts.push_back(request.helpContext);
    EXPECT_EQ(contexts, (std::vector<int>{210, 220}));
}

TEST_F(MainWindowTest, NoTwoCommandsShareAShortcut)
{
    QSet<QKeySequence> seen;
    for (const TActionInfo& info : MainWindowActions()) {
        const QKeySequence key = Window->Action(QString::fromLatin1(info.Name))->shortcut();
        if (key.isEmpty())
            continue;
        EXPECT_FALSE(seen.contains(key)) << info.Name << " " << key.toString().toStdString();
        seen.insert(key);
    }
    EXPECT_EQ(Window->Action(QStringLiteral("ActionResetSliders"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+S")));
}

TEST_F(MainWindowTest, PlotSettingsLeaveTheirCheckMarkWhileThePlotIsClosed)
{
    for (const char* name : {"ActionFullScale", "ActionPMRotateView", "ActionPMConstantDimExtent",
                             "ActionACOmitHiddenDims", "ActionSMDot1", "ActionPMDTShade", "ActionPMSTColAll"}) {
        QAction* action = Window->Action(QString::fromLatin1(name));
        const bool checked = action->isChecked();
        action->trigger();
        EXPECT_EQ(action->isChecked(), checked) << name;
    }
}

TEST_F(MainWindowTest, PlotSettingsReachTheOpenPlot)
{
    for (const char* key : kPlotKeys)
        OpenPlot(QString::fromLatin1(key));
    auto* pm = dynamic_cast<TPermutationmatrix*>(Manager().GetClient(QStringLiteral("PermutationMatrix")));
    auto* pc = dynamic_cast<TParallelCoordinates*>(Manager().GetClient(QStringLiteral("ParallelCoordinates")));
    auto* ac = dynamic_cast<TAndrewsCurves*>(Manager().GetClient(QStringLiteral("AndrewsCurves")));
    ASSERT_TRUE(pm && pc && ac);

    Window->Action(QStringLiteral("ActionPMRotateView"))->trigger();
    EXPECT_TRUE(pm->RotateView());
    EXPECT_TRUE(Window->Action(QStringLiteral("ActionPMRotateView"))->isChecked());
    Window->Action(QStringLiteral("ActionPMDTBar90Shade"))->trigger();
    EXPECT_EQ(pm->DisplayType(), pdtBar90Shade);
    // A scale type that does not fit the mean type brings the mean actions along.
    Window->Action(QStringLiteral("ActionPMSTColAll"))->trigger();
    EXPECT_EQ(pm->ScaleType(), pstColAll);
    EXPECT_EQ(Window->Action(QStringLiteral("ActionPMMTRowAll"))->actionGroup()->checkedAction()->data().toInt(),
              int(pm->MeanType()));

    const bool fullScale = pc->GetFullScale();
    Window->Action(QStringLiteral("ActionFullScale"))->trigger();
    EXPECT_NE(pc->GetFullScale(), fullScale);
    EXPECT_EQ(Window->Action(QStringLiteral("ActionFullScale"))->isChecked(), pc->GetFullScale());

    Responder->Clear();
    Window->Action(QStringLiteral("ActionSelectPointsUnderSlider"))->trigger();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Please select a slider, first.")});
    EXPECT_EQ(LastCode(), QStringLiteral("1.2"));

    Window->Action(QStringLiteral("ActionACOmitHiddenDims"))->trigger();
    EXPECT_FALSE(ac->OmitHiddenDims());
    EXPECT_FALSE(Window->Action(QStringLiteral("ActionACOmitHiddenDims"))->isChecked());
}

TEST_F(MainWindowTest, TogglesOpenAndClosePlotsWithTheirMenusAndToolBars)
{
    QAction* toggle = Window->Action(QStringLiteral("ActionQuorSMatrix"));
    toggle->trigger();
    EXPECT_TRUE(Manager().HasClient(QStringLiteral("ScatterplotMatrix")));
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(Window->MenuItemSMatrix->menuAction()->isVisible());
    EXPECT_TRUE(Window->ActionToolBarSMatrix->isVisible());
    EXPECT_TRUE(Codes().contains(QStringLiteral("open 3")));
    toggle->trigger();
    EXPECT_FALSE(Manager().HasClient(QStringLiteral("ScatterplotMatrix")));
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(Window->MenuItemSMatrix->menuAction()->isVisible());
    EXPECT_EQ(LastCode(), QStringLiteral("close 3"));
}

TEST_F(MainWindowTest, AColourItemMarksTheSelectedItems)
{
    Data().WriteTransaction(Window.get(), [this] { Data().SetPointSelected(0, true); });
    Window->MenuItemMarkPoints->actions().at(2)->trigger();
    EXPECT_EQ(Data().GetPointProps(0).Color, 2);
}

TEST_F(MainWindowTest, FittingBoundsTwiceResetsThemToTheDataRange)
{
    QAction* fit = Window->Action(QStringLiteral("ActionFitBounds"));
    fit->trigger();
    EXPECT_EQ(LastCode(), QStringLiteral("fitbounds"));
    // The next delivery refits: one item gives bounds half a unit around its value.
    Data().WriteTransaction(Window.get(), [this] { Data().SetPointSelected(0, true); });
    EXPECT_EQ(Data().GetUBound(0) - Data().GetLBound(0), 1.0);
    fit->trigger();
    EXPECT_EQ(LastCode(), QStringLiteral("unfitbounds"));
    for (int d = 0; d < Data().DimCount(); ++d) {
        EXPECT_EQ(Data().GetLBound(d), Data().GetDimMin(d)) << d;
        EXPECT_EQ(Data().GetUBound(d), Data().GetDimMax(d)) << d;
    }
}
