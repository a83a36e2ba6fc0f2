#include "QuorDataClients/DataDimsEdit.h"

#include "support/Gestures.h"
#include "support/TestSupport.h"
#include "usagelog/Evaluation.h"

#include "ClientTestData.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {

class DataDimsEditTest : public ::testing::Test, public TClientTestData {
protected:
    void SetUp() override
    {
        Parent.resize(500, 300);
        Parent.show();
        auto grid = std::make_unique<TDataDimsEdit>(&Parent);
        Grid = grid.get();
        Grid->resize(480, 280);
        Manager->AddClient(QStringLiteral("DimEditor"), QStringLiteral("Dimension Editor"),
                           std::move(grid));
        Recorder = AddRecorder();
    }

    // The manager goes before the panel that parents the grid, as in the
    // main window.
    void TearDown() override { Manager.reset(); }

    // Types the text into the bound cell of the dimension and presses Enter.
    void TypeBound(int Col, int Dim, const QString& Text)
    {
        Grid->setCurrentCell(Dim, Grid->horizontalHeader()->logicalIndex(Col));
        TEdit2* edit = Grid->Edit();
        ASSERT_FALSE(edit->isHidden());
        ASSERT_EQ(edit->Col, Col);
        edit->selectAll();
        QTest::keyClicks(edit, Text);
        QTest::keyClick(edit, Qt::Key_Return);
        // Back over its cell, ready for the next edit.
        EXPECT_FALSE(edit->isModified());
        EXPECT_EQ(edit->text(), Grid->Cell(Col, Dim)->text());
    }

    QString LastLogLine() const { return GetLog().isEmpty() ? QString() : GetLog().last(); }

    QWidget Parent;
    TDataDimsEdit* Grid = nullptr;
    TNoticeRecorder* Recorder = nullptr;
};

} // namespace

TEST_F(DataDimsEditTest, ShowsOneRowPerDimensionWithItsRangeAndBounds)
{
    ASSERT_EQ(Grid->rowCount(), 4);
    ASSERT_EQ(Grid->CheckBoxes().size(), 4u);
    Write([this] {
        Data.SetDimHidden(2, true);
        Data.SetLBound(1, Data.GetDimMin(1) + 1);
    });
    const QStringList headers = {"Dimension", "On", "State", "Min", "Low", "High", "Max"};
    for (int col = 0; col < 7; ++col)
        EXPECT_EQ(Grid->horizontalHeaderItem(col)->text(), headers[col]);
    EXPECT_EQ(Grid->Cell(0, 1)->text(), "Column 2");
    EXPECT_EQ(Grid->Cell(Grid->StateCol(), 0)->text(), "full");
    EXPECT_EQ(Grid->Cell(Grid->StateCol(), 1)->text(), "partial");
    EXPECT_EQ(Grid->Cell(Grid->LowCol(), 1)->text(), QString::number(Data.GetDimMin(1) + 1, 'f', 2));
    EXPECT_EQ(Grid->Cell(Grid->OnCol(), 2)->text(), "False");
    EXPECT_FALSE(Grid->CheckBoxes()[2]->isChecked());
    EXPECT_TRUE(Grid->CheckBoxes()[1]->isChecked());
    // Only the check box and the two bounds take the focus.
    for (int col = 0; col < 7; ++col)
        EXPECT_EQ(bool(Grid->Cell(col, 0)->flags() & Qt::ItemIsSelectable),
                  col == Grid->OnCol() || col == Grid->LowCol() || col == Grid->HighCol());
    // A bound change refreshes, and the refresh logs the shown dimensions.
    EXPECT_TRUE(LastLogLine().endsWith(",dims  0 1 3")) << LastLogLine().toStdString();
}

TEST_F(DataDimsEditTest, ColumnsTakeTheirWidths)
{
    const int widths[] = {100, 20, 40, 50, 50, 50, 50};
    for (int col = 0; col < 7; ++col)
        EXPECT_EQ(Grid->columnWidth(Grid->horizontalHeader()->logicalIndex(col)), widths[col]) << col;
}

TEST_F(DataDimsEditTest, TypedBoundsAreWrittenOnlyWhenTheyKeepLowBelowHigh)
{
    const double min = Data.GetDimMin(0);
    const double max = Data.GetDimMax(0);
    struct Case {
        const char* what;
        bool low;
        QString text;
        double expectedLow;
        double expectedHigh;
    };
    const Case cases[] = {
        {"lower bound equal to the upper", true, QString::number(max), min, max},
        {"upper bound equal to the lower", false, QString::number(min), min, max},
        {"lower bound above the upper", true, QString::number(max + 1), min, max},
        {"not a number", true, "abc", min, max},
        {"infinite", true, "-inf", min, max},
        {"group separator", true, "0,001", min, max},
        {"lower bound", true, QString::number(min + 0.5), min + 0.5, max},
        {"upper bound past the data", false, QString::number(max + 10.25), min, max + 10.25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder->Clear();
        TypeBound(c.low ? Grid->LowCol() : Grid->HighCol(), 0, c.text);
        const bool written = c.expectedLow != min || c.expectedHigh != max;
        EXPECT_EQ(Data.GetLBound(0), c.expectedLow);
        EXPECT_EQ(Data.GetUBound(0), c.expectedHigh);
        EXPECT_EQ(Recorder->Notices, written ? QStringList({"BeginEvents", "DimBoundChange 0", "EndEvents"}) : QStringList());
        // A written bound shows as typed; a dropped one leaves the cell alone.
        const int col = c.low ? Grid->LowCol() : Grid->HighCol();
        const double shown = c.low ? Data.GetLBound(0) : Data.GetUBound(0);
        EXPECT_EQ(Grid->Cell(col, 0)->text(), written ? c.text : QString::number(shown, 'f', 2));
        if (written)
            Write([&] {
                Data.SetLBound(0, min);
                Data.SetUBound(0, max);
            });
    }
}

TEST_F(DataDimsEditTest, NumbersShowTheLocalesSeparatorButAreTypedWithThePoint)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto restore = qScopeGuard([&] { QLocale::setDefault(previous); });
    Write([this] { Data.SetUBound(0, 1234.5); });
    EXPECT_EQ(Grid->Cell(Grid->HighCol(), 0)->text(), "1234,50");
    const double min = Data.GetDimMin(0);

    TypeBound(Grid->LowCol(), 0, QString::number(min) + ",5");
    EXPECT_EQ(Data.GetLBound(0), min);
    TypeBound(Grid->LowCol(), 0, QString::number(min) + ".5");
    EXPECT_EQ(Data.GetLBound(0), min + 0.5);
}

TEST_F(DataDimsEditTest, UncheckingASelectedDimensionDeselectsAndHidesItInOneTransaction)
{
    Write([this] { Data.SetDimSelected(1, true); });
    Recorder->Clear();
    Grid->CheckBoxes()[1]->click();
    EXPECT_FALSE(Data.IsDimSelected(1));
    EXPECT_TRUE(Data.IsDimHidden(1));
    // Two kinds of dimension change in one transaction arrive as one.
    EXPECT_EQ(Recorder->Notices, QStringList({"BeginEvents", "DimModifications", "EndEvents"}));
    EXPECT_EQ(Grid->Cell(Grid->OnCol(), 1)->text(), "False");
    EXPECT_TRUE(LastLogLine().endsWith(",dims  0 2 3"));

    // A box that already agrees with its cell changes nothing.
    Recorder->Clear();
    Grid->CheckBoxClick(Grid->CheckBoxes()[0]);
    Grid->CheckBoxClick(Grid->CheckBoxes()[1]);
    EXPECT_TRUE(Recorder->Notices.isEmpty());

    Grid->CheckBoxes()[1]->click();
    EXPECT_FALSE(Data.IsDimHidden(1));
    EXPECT_FALSE(Data.IsDimSelected(1));
}

TEST_F(DataDimsEditTest, MovedColumnsKeepTheirTextsUnderTheirHeaders)
{
    QHeaderView* header = Grid->horizontalHeader();
    header->moveSection(Grid->MinCol(), 6);
    EXPECT_EQ(Grid->MinCol(), 6);
    EXPECT_EQ(Grid->LowCol(), 3);
    EXPECT_EQ(Grid->HighCol(), 4);
    EXPECT_EQ(Grid->MaxCol(), 5);
    EXPECT_EQ(Grid->StateCol(), 2);
    // The fixed columns neither move nor take another column's place.
    header->moveSection(4, 1);
    header->moveSection(0, 5);
    EXPECT_EQ(header->visualIndex(0), 0);
    EXPECT_EQ(header->visualIndex(1), 1);
    EXPECT_EQ(Grid->OnCol(), 1);

    Write([this] { Data.SetUBound(0, Data.GetDimMax(0) + 1); });
    const std::map<QString, QString> expected = {
        {"Dimension", "Column 1"},
        {"On", "True"},
        {"State", "full"},
        {"Min", QString::number(Data.GetDimMin(0), 'f', 2)},
        {"Low", QString::number(Data.GetLBound(0), 'f', 2)},
        {"High", QString::number(Data.GetUBound(0), 'f', 2)},
        {"Max", QString::number(Data.GetDimMax(0), 'f', 2)},
    };
    EXPECT_EQ(Grid->horizontalHeaderItem(header->logicalIndex(6))->text(), "Min");
    for (int col = 0; col < 7; ++col) {
        const QString title = Grid->horizontalHeaderItem(header->logicalIndex(col))->text();
        EXPECT_EQ(Grid->Cell(col, 0)->text(), expected.at(title)) << title.toStdString();
    }
    // The editor follows the bound columns to their new places.
    TypeBound(3, 0, QString::number(Data.GetDimMin(0) + 0.25));
    EXPECT_EQ(Data.GetLBound(0), Data.GetDimMin(0) + 0.25);
}

TEST_F(DataDimsEditTest, DraggingARowMovesTheDimension)
{
    Grid->verticalHeader()->moveSection(0, 2);
    EXPECT_EQ(Data.GetDimPerm(2), 0);
    EXPECT_EQ(Data.GetDimPerm(0), 1);
    EXPECT_EQ(Recorder->Notices, QStringList({"BeginEvents", "DimMove 0 2", "EndEvents"}));
    EXPECT_EQ(Grid->verticalHeader()->visualIndex(0), 0);
    EXPECT_EQ(Grid->Cell(0, 2)->text(), "Column 1");
    EXPECT_EQ(Grid->Cell(0, 0)->text(), "Column 2");
    EXPECT_TRUE(LastLogLine().endsWith(",dims  1 2 0 3"));
}

TEST_F(DataDimsEditTest, DraggingANameCellMovesTheDimensionAndAClickDoesNot)
{
    struct TCase {
        int FromRow;
        int ToRow; // 4: below the last row
        int Col;
        QStringList Notices;
        std::vector<int> Order;
    };
    const TCase cases[] = {
        {0, 2, 0, {"BeginEvents", "DimMove 0 2", "EndEvents"}, {1, 2, 0, 3}},
        {3, 1, 0, {"BeginEvents", "DimMove 3 1", "EndEvents"}, {0, 3, 1, 2}},
        {1, 4, 0, {"BeginEvents", "DimMove 1 3", "EndEvents"}, {0, 2, 3, 1}},
        {1, 1, 0, {}, {0, 1, 2, 3}},
        // Only the name cell drags its row.
        {0, 2, 2, {}, {0, 1, 2, 3}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.FromRow * 10 + c.ToRow);
        Write([this] {
            for (int d = 0; d < 4; ++d)
                Data.MoveDim(Data.GetDimInvPerm(d), d);
        });
        Recorder->Notices.clear();
        const auto at = [this](int Row, int Col) {
            return Grid->visualRect(Grid->model()->index(Row, Grid->horizontalHeader()->logicalIndex(Col))).center();
        };
        const QPoint from = at(c.FromRow, c.Col);
        const int last = Grid->rowCount() - 1;
        const int landing = std::min(c.ToRow, last);
        const QPoint to = at(landing, c.Col) + QPoint(0, c.ToRow > last ? 3 * Grid->rowHeight(last) : 0);
        if (c.FromRow == c.ToRow)
            ClickGesture(Grid->viewport(), from);
        else
            DragGesture(Grid->viewport(), from, {from + QPoint(0, to.y() > from.y() ? 8 : -8), to});
        QCoreApplication::processEvents();

        EXPECT_EQ(Recorder->Notices, c.Notices);
        std::vector<int> order;
        for (int d = 0; d < 4; ++d)
            order.push_back(Data.GetDimPerm(d));
        EXPECT_EQ(order, c.Order);
        EXPECT_EQ(Grid->Cell(0, landing)->text(), Data.GetDimName(landing));
    }
}

TEST_F(DataDimsEditTest, NewDataWithMoreDimensionsRebuildsRowsAndCheckBoxes)
{
    TTestDataSrc values;
    TTestTextSrc names;
    values.Generate(6, 10);
    names.GenerateText(6, 1, QStringLiteral("Dim "));
    Write([&] { Data.SetDataSrc(&values, &names, &PointNames); });
    ASSERT_EQ(Grid->rowCount(), 6);
    ASSERT_EQ(Grid->CheckBoxes().size(), 6u);
    const int onLogical = Grid->horizontalHeader()->logicalIndex(Grid->OnCol());
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(Grid->cellWidget(row, onLogical), Grid->CheckBoxes()[size_t(row)].data());
        EXPECT_EQ(Grid->CheckBoxes()[size_t(row)]->Row, row);
    }
    EXPECT_EQ(Grid->Cell(0, 5)->text(), "Dim 6");
    EXPECT_TRUE(LastLogLine().endsWith(",dims  0 1 2 3 4 5"));
    // The new last row's box works.
    Grid->CheckBoxes()[5]->click();
    EXPECT_TRUE(Data.IsDimHidden(5));
    // Back to four: the grid must not outlive the sources it reads.
    Write([this] { Data.SetDataSrc(&Values, &DimNames, &PointNames); });
    EXPECT_EQ(Grid->rowCount(), 4);
}
