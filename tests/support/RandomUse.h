#pragma once

// Random use of the main window, as a restless user would: each step one
// enabled command (menus, tool bars), a button or setting of the clustering
// panel, a click in the data-item list or the dimensions grid, a change of
// the plot windows, or a click or drag with Shift, Ctrl or both over an open
// plot. Dialogs are answered at random: OK, Cancel, a file that exists, one
// that does not. After every step the data object is unlocked, no plot is
// stuck in an update or a drag, every open plot paints, and no exception has
// reached the error dialog.
//
// Every step draws its choices from its own generator, seeded by the run's
// seed and the step's number, so that a replay that skips some steps keeps
// the others as far as the state allows: the way to cut a failing run down.

#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <set>

struct TRandomUseOptions {
    uint64_t Seed = 1;
    int Items = 20;
    int Dims = 5;
    int Steps = 200;
    // Step numbers that are not run.
    std::set<int> Skip;
    // Names of actions never chosen.
    QStringList Avoid;
    // A step that runs longer than this ends the process with the report; 0: no limit.
    int StepTimeoutSeconds = 0;
    // Each step's line goes to the diagnostic output as the step starts.
    bool Trace = false;
};

struct TRandomUseRun {
    // One line per step taken, with the dialogs' answers.
    QStringList Steps;
    // Empty when every step ended clean.
    QString Failure;
    // Steps and events counted by kind ("action", "plot", "transpose", ...).
    QMap<QString, int> Tally;

    bool Clean() const { return Failure.isEmpty(); }
};

// Starts a main window as a user does, offscreen, its pending log files in
// PendingFolder; loads a generated table of Options.Items by Options.Dims
// through the window's own "Load XML", runs the steps, and closes it. The
// run installs its own dialog responder meanwhile.
TRandomUseRun RunRandomUse(const QString& PendingFolder, const TRandomUseOptions& Options);

// The seed, the table, the options as the tool's command line, the failure
// and the steps, one per line.
QString RandomUseReport(const TRandomUseOptions& Options, const TRandomUseRun& Run);

// "3,7,10-12" as step numbers; false for text of another form.
bool ParseStepList(const QString& Text, std::set<int>& Steps);
