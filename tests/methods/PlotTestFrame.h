#pragma once

// A main window stand-in for the plot tests: a window area for the plot
// windows, a client manager with the hint panel and a plot tool bar, the
// application properties; TRecordingDataClient notes what reaches others.

#include "MethodsTestData.h"

#include "QuorData/QuorAppProperties.h"
#include "QuorMethodBase.h"
#include "support/DataClients.h"
#include "usagelog/Evaluation.h"

#include <QLabel>
#include <QMdiArea>
#include <QStringList>
#include <QToolBar>

#include <memory>

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
