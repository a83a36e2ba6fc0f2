#pragma once

// A main window stand-in for the plot tests: a window area for the plot
// windows, a client manager with the hint panel and a plot tool bar, the
// application properties; TRecordingDataClient notes what reaches others.

#include "MethodsTestData.h"

#include "QuorData/QuorAppProperties.h"
#include "QuorMethodBase.h"
#include "methods/QuorAndrewsCurves.h"
#include "methods/QuorParallelCoordinates.h"
#include "methods/QuorPermutationmatrix.h"
#include "methods/QuorScatterplotmatrix.h"
#include "support/DataClients.h"
#include "usagelog/Evaluation.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMdiArea>
#include <QStringList>
#include <QToolBar>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>

// An actor that writes to the data object as "someone else".
class TOtherWriter : public TObject {
public:
    explicit TOtherWriter(TData& AData) : Data(AData) {}
    template <typename F> void Write(F Changes)
    {
        Data.WriteTransaction(this, [&] { Changes(Data); });
    }
    TData& Data;
};

// One of the plots, for tests that run over each of them; Key names the test.
struct TPlotKind {
    const char* Key;
    std::function<std::unique_ptr<TQuorPlotClient>(QWidget*)> Create;
};

inline void PrintTo(const TPlotKind& Kind, std::ostream* Out)
{
    *Out << Kind.Key;
}

// A point of the editor's client area inside Object's shape, on a grid of
// Step pixels, for which Accept holds; none (a null point) without one.
inline QPoint PointOnObject(const TGOEdit* Editor, const TGraphicObject* Object, int Step = 2,
                            const std::function<bool(QPoint)>& Accept = {})
{
    const TRect b = Object->Bounds;
    for (int y = std::max(b.Top, 0); y < std::min(b.Bottom, Editor->height()); y += Step)
        for (int x = std::max(b.Left, 0); x < std::min(b.Right, Editor->width()); x += Step)
            if (Object->ContainsPoint(TPoint{x, y}) && (!Accept || Accept(QPoint(x, y))))
                return QPoint(x, y);
    return QPoint();
}

// The three plots with an object editor first, then Andrews' curves.
inline const TPlotKind kPlots[] = {
    {"ScatterplotMatrix", [](QWidget* W) { return std::make_unique<TScatterplotmatrix>(W); }},
    {"ParallelCoordinates", [](QWidget* W) { return std::make_unique<TParallelCoordinates>(W); }},
    {"PermutationMatrix", [](QWidget* W) { return std::make_unique<TPermutationmatrix>(W); }},
    {"AndrewsCurves", [](QWidget* W) { return std::make_unique<TAndrewsCurves>(W); }},
};
inline constexpr int kEditorPlotCount = 3;

class TPlotTestFrame {
public:
    explicit TPlotTestFrame(TMethodsTestData& AData) : Test(AData)
    {
        Area.resize(900, 700);
        Area.show();
        ToolBarHome.hide();
        ToolBar = new QToolBar(&ToolBarHome);
        ToolBar->hide();
        Manager = std::make_unique<TQuorClientManager>(&Area);
        Manager->Data = &Test.Data;
        Manager->AppProperties = &Props;
        Manager->PanelHint = &Hint;
        Manager->ActionToolBarSMatrix = ToolBar;
        Manager->ActionToolBarPMatrix = ToolBar;
        Manager->ActionToolBarPCoord = ToolBar;
        Manager->ActionToolBarACurves = ToolBar;
    }

    // Opens the plot under its own key; sized when Size is given.
    TQuorPlotClient* Open(const TPlotKind& Kind, QSize Size = QSize())
    {
        std::unique_ptr<TQuorPlotClient> plot = Kind.Create(&Area);
        TQuorPlotClient* opened = plot.get();
        Manager->AddClient(opened->Info().Key, opened->Info().Caption, std::move(plot));
        if (Size.isValid()) {
            opened->Form()->resize(Size);
            QCoreApplication::processEvents();
        }
        return opened;
    }

    int CountLog(const QString& Code) const
    {
        int count = 0;
        for (const QString& line : GetLog())
            if (line.endsWith(QLatin1Char(',') + Code))
                ++count;
        return count;
    }

    TMethodsTestData& Test;
    TQuorAppProperties Props;
    QLabel Hint;
    QWidget ToolBarHome;
    QToolBar* ToolBar = nullptr; // owned by ToolBarHome while not docked
    QMdiArea Area;
    // Last, so that it goes first: its clients need everything above.
    std::unique_ptr<TQuorClientManager> Manager;
};
