#pragma once

// A main window stand-in for the plot tests: a window area for the plot
// windows, a client manager with the hint panel and a plot tool bar, the
// application properties, and a data client that notes what reaches it.

#include "MethodsTestData.h"

#include "QuorData/QuorAppProperties.h"
#include "QuorMethodBase.h"
#include "usagelog/Evaluation.h"

#include <QLabel>
#include <QMdiArea>
#include <QStringList>
#include <QToolBar>

#include <memory>

// Notes the change notices it receives; registered directly with the data
// object as a second client.
class TNoticeClient : public TObject, public IQuorDataClient {
public:
    void BeginEvents() override {}
    void EndEvents() override { ++Deliveries; }
    void PointModifications(TData*, TObject*) override { Notices << "PointModifications"; }
    void PointColorChange(TData*, TObject*, int) override { Notices << "PointColor"; }
    void PointSelectionChange(TData*, TObject*, int Point, bool Selected) override
    {
        Notices << QStringLiteral("PointSelection %1 %2").arg(Point).arg(Selected);
    }
    void PointVisibilityChange(TData*, TObject*, int, bool) override { Notices << "PointVisibility"; }
    void PointExchange(TData*, TObject*, int, int) override { Notices << "PointExchange"; }
    void DimSelectionChange(TData*, TObject*, int Dim, bool Selected) override
    {
        Notices << QStringLiteral("DimSelection %1 %2").arg(Dim).arg(Selected);
    }
    void DimExchange(TData*, TObject*, int A, int B) override
    {
        Notices << QStringLiteral("DimExchange %1 %2").arg(A).arg(B);
    }
    void DimMove(TData*, TObject*, int, int) override { Notices << "DimMove"; }
    void DimVisibilityChange(TData*, TObject*, int, bool) override { Notices << "DimVisibility"; }
    void DimSliderChange(TData*, TObject*, int) override { Notices << "DimSlider"; }
    void DimBoundChange(TData*, TObject*, int) override { Notices << "DimBound"; }
    void DimModifications(TData*, TObject*) override { Notices << "DimModifications"; }
    void ValueChange(TData*, TObject*) override { Notices << "ValueChange"; }
    void DataSrcChange(TData*, TObject*) override { Notices << "DataSrcChange"; }
    void CustomEvent(TQuorDataCustomEvent*) override {}

    QStringList Notices;
    int Deliveries = 0;
};

// An actor that writes to the data object as "someone else".
class TOtherWriter : public TObject {
public:
    explicit TOtherWriter(TData& AData) : Data(AData) {}
    template <typename F> void Write(F Changes)
    {
        Data.BeginWrite(this, true);
        Changes(Data);
        Data.EndWrite(this);
        Data.SendEvents();
    }
    TData& Data;
};

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
