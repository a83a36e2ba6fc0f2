// Every plot's copy, recorded figure by figure and played back, shows the
// pixels the screen shows.

#include "PlotTestFrame.h"

#include "platform/CustomControl.h"
#include "support/Images.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QScopeGuard>

#include <gtest/gtest.h>

namespace {

class CopyTest : public ::testing::TestWithParam<TPlotKind> {
protected:
    CopyTest()
        : T(TMethodsTestData({"A", "B", "C", "D"}, {"a", "b", "c", "d", "e"},
                             {{0, 10, 0, 10}, {5, 5, 3, 5}, {10, 0, 10, 0}, {8, 2, 7, 1}, {1, 1, 1, 1}})),
          F(T)
    {
        T.Data.SetPointSelected(1, true);
        T.Data.SetDimSelected(2, true);
        Plot = F.Open(GetParam(), QSize(600, 500));
    }

    QImage CopiedImage() const
    {
        Plot->CopyToClipboard(QGuiApplication::clipboard());
        QImage png;
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (data)
            png.loadFromData(data->data(QStringLiteral("image/png")), "PNG");
        return png.convertToFormat(QImage::Format_RGB32);
    }

    TCustomControl2* Control() const
    {
        if (auto* curves = dynamic_cast<TAndrewsCurves*>(Plot))
            return curves->CurvesControl();
        return Plot->Editor();
    }

    TMethodsTestData T;
    TPlotTestFrame F;
    TQuorPlotClient* Plot = nullptr;
};

} // namespace

TEST_P(CopyTest, CopyShowsTheScreensPixels)
{
    Control()->Repaint();
    EXPECT_EQ(CopiedImage(), Control()->BackingImage());
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/svg+xml")).contains("<svg"));
}

TEST_P(CopyTest, CopyOfTheDarkPlotShowsItsBackgroundWithTheBackgroundPartOnly)
{
    Plot->InvertBackground();
    // The stock pen is everyone's: black again for the tests after this one.
    const auto lightAgain = qScopeGuard([this] { Plot->InvertBackground(); });
    Control()->Repaint();
    ASSERT_EQ(PixelColor(Control()->BackingImage(), 1, 1), 0x000000u);
    Plot->CopyParts = goepBackground | goepObjects | goepSelection;
    EXPECT_EQ(CopiedImage(), Control()->BackingImage());
    Plot->CopyParts = goepObjects | goepSelection;
    EXPECT_EQ(PixelColor(CopiedImage(), 1, 1), 0xFFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(Plots, CopyTest, ::testing::ValuesIn(kPlots),
                         [](const auto& Info) { return std::string(Info.param.Key); });
