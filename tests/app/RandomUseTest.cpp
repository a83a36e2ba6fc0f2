#include "support/RandomUse.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// The main window used at random over a few seeds and small tables, tall,
// wide and tiny: commands with their dialogs answered at random, the
// clustering panel, the list and the grid, clicks and drags over every plot,
// the table transposed and back, files loaded and saved. A failure prints
// the seed and the steps; tools/randomuse replays them with steps skipped.
TEST(RandomUse, EveryStepEndsClean)
{
    struct TCase {
        uint64_t Seed;
        int Items;
        int Dims;
    };
    // Seeds 73 and 21 once met a click whose own write rebuilt its plot and a
    // file loaded while transposed.
    const TCase cases[] = {{24, 300, 6}, {73, 300, 6}, {25, 30, 40}, {21, 40, 5}, {26, 2, 3}, {12, 3, 1}, {7, 1, 1}};
    const QTemporaryDir pending;
    int transposes = 0;
    for (const TCase& c : cases) {
        TRandomUseOptions options;
        options.Seed = c.Seed;
        options.Items = c.Items;
        options.Dims = c.Dims;
        options.Steps = 200;
        options.StepTimeoutSeconds = 120;
        const TRandomUseRun run = RunRandomUse(pending.path() + u'/', options);
        EXPECT_TRUE(run.Clean()) << RandomUseReport(options, run).toStdString();
        EXPECT_EQ(run.Steps.size(), options.Steps + 2) << c.Seed; // with the start and the end
        transposes += run.Tally.value(QStringLiteral("transpose"));
    }
    // The runs reach the transposed table and come back.
    EXPECT_GE(transposes, 2);
}
