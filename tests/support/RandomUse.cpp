#include "support/RandomUse.h"

#include "support/Gestures.h"
#include "support/MainWindowStart.h"
#include "support/TestTable.h"

#include "ObjectEditor/CopyBox.h"
#include "ObjectEditor/GOECopyOptions.h"
#include "ObjectEditor/ObjectEditor.h"
#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcXML.h"
#include "QuorDataClients/DataDimsEdit.h"
#include "QuorDataClients/QuorPointList.h"
#include "QuorMethodBase.h"
#include "app/MainWindowActions.h"
#include "app/StandaloneWindowUnit.h"
#include "clustering/ClusteringFrame.h"
#include "methods/QuorPlotClient.h"
#include "platform/Application.h"
#include "platform/CustomControl.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"
#include "platform/MouseQueue.h"
#include "platform/Random.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <typeinfo>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

// The actions that open and close the plots of kPlotKeys.
const char* const kToggles[] = {"ActionQuorPCoord", "ActionQuorPMatrix", "ActionQuorSMatrix", "ActionQuorACurves"};

// Prints the running run's report; a sanitizer that ends the process
// calls it after its own report.
std::function<void()> gOnDeath;

#if defined(__SANITIZE_ADDRESS__)
void OnDeath()
{
    if (gOnDeath)
        gOnDeath();
}
#endif

void PrintReport(const QString& Report)
{
    std::fputs(Report.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

class TRandomUser : public TDialogResponder {
public:
    TRandomUser(TQuorbelWindow& Window, const TRandomUseOptions& Options)
        : FWindow(Window), FOptions(Options)
    {
    }

    TRandomUseRun Run();
    // The run so far, with the failure that ends it.
    TRandomUseRun Snapshot(const QString& Failure);

    // ---- TDialogResponder: every answer drawn from the step's generator ----
    int MessageDlg(const QString& Text, const QString&, TMsgDlgType, TMsgDlgButtons Buttons, int) override;
    int ExecDialog(QDialog& Dialog) override;
    QString OpenFileName(QWidget*, const QString& Caption, const QString&, const QString&) override;
    QString SaveFileName(QWidget*, const QString& Caption, const QString&, const QString&) override;
    bool PrintDialog(QPrinter& Printer, QWidget*) override;

private:
    int Draw(int N) { return N > 0 ? int(FRng() % uint64_t(N)) : 0; }
    bool Chance(int Percent) { return Draw(100) < Percent; }
    QPoint PointIn(const QRect& R) { return {R.left() + Draw(R.width()), R.top() + Draw(R.height())}; }
    // Appends to the step's line (and traces it).
    void Note(const QString& Text);
    void Fail(const QString& Text);

    void Prepare();
    void Settle();
    QString Check();
    void RunStep();
    bool ActionStep();
    // Groups of commands chosen more often than a pick among all commands
    // would choose them: those of the data source menu that replace,
    // reshape or refit the table; the plot toggles; the commands on the
    // selection, mostly enabled by one.
    bool SourceStep();
    bool ToggleStep();
    bool SelectionStep();
    // One of the named actions, or, where it is disabled or hidden, another
    // of them that is there; false when none is.
    bool TriggerOneOf(const std::vector<const char*>& Names);
    bool PlotStep();
    bool ClusterStep();
    bool ListStep();
    bool GridStep();
    bool WindowStep();

    bool Reachable(QAction* Action) const;
    TQuorPlotClient* Plot(const char* Key) const;
    // A visible, not minimized plot: the one drawn from the four keys, else another.
    TQuorPlotClient* PickPlot();
    // A point of the plot to press at: on one of its objects or handles, or
    // anywhere in its visible area and a little beyond. Kind: the class of
    // the object met before, in and out.
    QPoint PlotPoint(TQuorPlotClient* Plot, const QRect& Area, std::string& Kind);
    Qt::KeyboardModifiers PickModifiers();
    QString Describe(Qt::KeyboardModifiers Modifiers) const;
    void TypeInto(QWidget* Edit, const QString& Text);

    TQuorbelWindow& FWindow;
    const TRandomUseOptions& FOptions;
    TRandomUseRun FRun;
    std::mt19937_64 FRng;
    QTemporaryDir FDir;
    QStringList FSaved; // files saved during the run
    int FStep = -1;
    // The step offered a file that cannot be read: its error dialog is the designed answer.
    bool FUnreadableFileOffered = false;
    QString FFailure;
    std::mutex FLock; // the lines, read by the watchdog
    std::atomic<int64_t> FStepStart{0};
};

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint64_t StepSeed(uint64_t Seed, int Step)
{
    // SplitMix64 of the pair: neighbouring seeds and steps draw unrelated choices.
    uint64_t z = Seed * 0x9E3779B97F4A7C15ull + uint64_t(Step) * 0xBF58476D1CE4E5B9ull + 0x94D049BB133111EBull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void TRandomUser::Note(const QString& Text)
{
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FRun.Steps.back() += Text;
    }
    if (FOptions.Trace)
        PrintReport(Text);
}

void TRandomUser::Fail(const QString& Text)
{
    if (FFailure.isEmpty())
        FFailure = Text;
}

TRandomUseRun TRandomUser::Snapshot(const QString& Failure)
{
    TRandomUseRun run;
    if (FLock.try_lock()) {
        run = FRun;
        FLock.unlock();
    }
    run.Failure = QStringLiteral("step %1: %2").arg(FStep).arg(Failure);
    return run;
}

// ---- dialogs ---------------------------------------------------------------------------

int TRandomUser::MessageDlg(const QString& Text, const QString&, TMsgDlgType, TMsgDlgButtons Buttons, int)
{
    const QString firstLine = Text.section(u'\n', 0, 0).trimmed().left(60);
    if (Text.startsWith(QLatin1String("An Application error has occured"))) {
        const QString details = Text.section(QStringLiteral("Error Details: "), 1);
        if (!(FUnreadableFileOffered && details.startsWith(QLatin1String("EXMLError ("))))
            Fail(QStringLiteral("error dialog: ") + details);
        Note(QStringLiteral(" | error dialog ") + details + QStringLiteral(": Ignore"));
        return mrIgnore;
    }
    // An update or a status refresh that failed and said so.
    if (Text.startsWith(QLatin1String("Bummer")) || Text.startsWith(QLatin1String("Exception in DoUpdate")))
        Fail(Text);
    static const std::pair<int, int> buttons[] = {{mbOK, mrOk},         {mbYes, mrYes},     {mbNo, mrNo},
                                                  {mbCancel, mrCancel}, {mbRetry, mrRetry}, {mbIgnore, mrIgnore}};
    static const char* const names[] = {"OK", "Yes", "No", "Cancel", "Retry", "Ignore"};
    std::vector<int> offered;
    for (int i = 0; i < 6; ++i)
        if (Buttons & buttons[i].first)
            offered.push_back(i);
    const int chosen = offered.empty() ? 0 : offered[size_t(Draw(int(offered.size())))];
    Note(QStringLiteral(" | \"%1\": %2").arg(firstLine, QLatin1String(names[chosen])));
    return buttons[chosen].second;
}

int TRandomUser::ExecDialog(QDialog& Dialog)
{
    int result = Chance(75) ? mrOk : mrCancel;
    QString answer;
    if (auto* chooser = qobject_cast<TCopyBoxForm*>(&Dialog)) {
        const int source = Draw(chooser->SourceCount());
        chooser->SetItemIndex(source);
        answer = QStringLiteral("source %1 of %2").arg(source + 1).arg(chooser->SourceCount());
    } else if (auto* options = qobject_cast<TGOECopyOptionsForm*>(&Dialog)) {
        for (TGOEPart part : {goepObjects, goepBackground, goepSelection})
            if (Chance(30))
                options->TogglePart(part);
        answer = QStringLiteral("parts %1").arg(options->GetParts().toInt());
    }
    Dialog.setResult(result);
    Note(QStringLiteral(" | dialog \"%1\" %2 %3").arg(Dialog.windowTitle(), answer,
                                                      result == mrOk ? QStringLiteral("OK") : QStringLiteral("Cancel")));
    return result;
}

QString TRandomUser::OpenFileName(QWidget*, const QString&, const QString&, const QString&)
{
    // Answers by percent; "" is Cancel, "saved" a file the run saved.
    static const std::pair<int, const char*> answers[] = {
        {15, ""},          {20, "start.xml"}, {8, "other.xml"},    {8, "odd.xml"},   {19, "saved"},
        {10, "empty.xml"}, {5, "data.XML"},   {10, "missing.xml"}, {5, "broken.xml"}};
    const char* answer = "start.xml"; // at the run's start
    if (FStep >= 0)
        for (int pick = Draw(100); const auto& [percent, file] : answers) {
            answer = file;
            if ((pick -= percent) < 0)
                break;
        }
    QString name;
    if (qstrcmp(answer, "saved") == 0 && !FSaved.isEmpty())
        name = FSaved[Draw(int(FSaved.size()))];
    else if (*answer)
        name = FDir.filePath(QString::fromLatin1(qstrcmp(answer, "saved") == 0 ? "start.xml" : answer));
    FUnreadableFileOffered = name.endsWith(QLatin1String("missing.xml")) || name.endsWith(QLatin1String("broken.xml"));
    Note(QStringLiteral(" | open: ") + (name.isEmpty() ? QStringLiteral("Cancel") : name.section(u'/', -1)));
    return name;
}

QString TRandomUser::SaveFileName(QWidget*, const QString&, const QString&, const QString&)
{
    QString name;
    const int pick = Draw(100);
    if (pick < 20)
        name = QString();
    else if (pick < 70 || FSaved.isEmpty())
        name = FDir.filePath(QStringLiteral("saved-%1.xml").arg(FStep));
    else
        name = FSaved[Draw(int(FSaved.size()))];
    if (!name.isEmpty() && !FSaved.contains(name))
        FSaved << name;
    Note(QStringLiteral(" | save: ") + (name.isEmpty() ? QStringLiteral("Cancel") : name.section(u'/', -1)));
    return name;
}

bool TRandomUser::PrintDialog(QPrinter& Printer, QWidget*)
{
    const bool print = Chance(70);
    if (print) {
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(FDir.filePath(QStringLiteral("print.pdf")));
    }
    Note(print ? QStringLiteral(" | print: to PDF") : QStringLiteral(" | print: Cancel"));
    return print;
}

// ---- the run ---------------------------------------------------------------------------

void TRandomUser::Prepare()
{
    const QString start = FDir.filePath(QStringLiteral("start.xml"));
    {
        const TTestTable table(FOptions.Dims, FOptions.Items);
        WriteXMLFile(start, table.Data);
        const TTestTable other(4, 9, true, QStringLiteral("Var "), QStringLiteral("Rec "));
        WriteXMLFile(FDir.filePath(QStringLiteral("other.xml")), other.Data);
    }
    const std::pair<const char*, const char*> files[] = {
        {"empty.xml", "<QuorbelData><data><variables count=\"1\"><realvariable name=\"a\" hide=\"0\"/>"
                      "</variables><records count=\"0\"/></data></QuorbelData>"},
        // Valid, but at the edges: a constant column, values whose range
        // passes the largest Double, texts, missing values, a hidden
        // dimension and item, colours out of the table, a record named by id.
        {"odd.xml",
         "<QuorbelData><data><variables>"
         "<realvariable name=\"a\" hide=\"0\"/><realvariable name=\"same\" hide=\"0\"/>"
         "<realvariable name=\"huge\" hide=\"0\"/><realvariable name=\"gone\" hide=\"1\"/>"
         "<realvariable name=\"\" hide=\"0\"/></variables><records>"
         "<record label=\"r1\" color=\"-3\" hide=\"0\"> 1 5 1e308 7 NA </record>"
         "<record label=\"r2\" color=\"17\" hide=\"0\"> 2 5 -1e308 x 3 </record>"
         "<record id=\"byid\" color=\"2147483647\" hide=\"0\"> 3 5 0 missing 4</record>"
         "<record label=\"r4\" color=\"0\" hide=\"1\"> NA 5 1e-300 2 5 </record>"
         "<record label=\"r5\" color=\"5\" hide=\"0\">-4 5 inf nan 6 </record>"
         "<record label=\"r6\" color=\"1\" hide=\"0\">5,5 5 2 3 4 </record>"
         "</records></data></QuorbelData>"},
        {"broken.xml", "<QuorbelData><data><variables"},
        {"data.XML", ""}};
    for (const auto& [name, content] : files) {
        QFile file(FDir.filePath(QString::fromLatin1(name)));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }
}

TRandomUseRun TRandomUser::Run()
{
    Prepare();
    TDialogResponder* previous = &Dialogs::Responder();
    Dialogs::SetResponder(this);
    const auto restore = qScopeGuard([previous] { Dialogs::SetResponder(previous); });

    std::atomic<bool> done{false};
    std::thread watchdog;
    if (FOptions.StepTimeoutSeconds > 0)
        watchdog = std::thread([this, &done] {
            while (!done) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                if (NowMs() - FStepStart > int64_t(FOptions.StepTimeoutSeconds) * 1000) {
                    PrintReport(RandomUseReport(
                        FOptions, Snapshot(QStringLiteral("runs longer than %1 s").arg(FOptions.StepTimeoutSeconds))));
                    _exit(3);
                }
            }
        });
    const auto stopWatchdog = qScopeGuard([&] {
        done = true;
        if (watchdog.joinable())
            watchdog.join();
    });

    gOnDeath = [this] { PrintReport(RandomUseReport(FOptions, Snapshot(QStringLiteral("a sanitizer ended the run")))); };
    const auto forget = qScopeGuard([] { gOnDeath = nullptr; });
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(&OnDeath);
#endif

    FStepStart = NowMs();
    FRng.seed(StepSeed(FOptions.Seed, -1));
    FRun.Steps << QStringLiteral("start: %1 items x %2 dimensions").arg(FOptions.Items).arg(FOptions.Dims);
    FWindow.Action(QStringLiteral("LoadXML1"))->trigger();
    Settle();
    // The program's own generator (permutations, k-means) follows the seed too.
    RandSeed = int32_t(StepSeed(FOptions.Seed, -2));

    for (int step = 0; step < FOptions.Steps && FFailure.isEmpty(); ++step) {
        if (FOptions.Skip.count(step))
            continue;
        FStep = step;
        FRng.seed(StepSeed(FOptions.Seed, step));
        FUnreadableFileOffered = false;
        {
            const std::lock_guard<std::mutex> lock(FLock);
            FRun.Steps << QStringLiteral("%1:").arg(step, 4);
        }
        if (FOptions.Trace)
            PrintReport(QStringLiteral("\n") + FRun.Steps.back());
        const bool transposed = FWindow.Data->Transposed();
        // Whatever window came up last, the user works in the main window.
        if (!FWindow.isActiveWindow()) {
            FWindow.activateWindow();
            Settle();
        }
        FStepStart = NowMs();
        try {
            RunStep();
        } catch (const EAbort&) {
        } catch (const std::exception& e) {
            // As the event loop would hand it on.
            TApplication::HandleException(e);
        }
        Settle();
        const QString fault = Check();
        if (!fault.isEmpty())
            Fail(fault);
        if (FWindow.Data) {
            const TData& data = *FWindow.Data;
            Note(QStringLiteral("  [%1 x %2, %3 selected, %4 hidden%5]")
                     .arg(data.PointCount())
                     .arg(data.DimCount())
                     .arg(data.SelectedPointCount())
                     .arg(data.PointCount() - data.VisiblePointCount())
                     .arg(data.Transposed() ? QStringLiteral(", transposed") : QString()));
            if (data.Transposed() != transposed)
                ++FRun.Tally[QStringLiteral("transpose")];
        }
        if (!FFailure.isEmpty())
            FRun.Failure = QStringLiteral("step %1: %2").arg(step).arg(FFailure);
    }
    // The user closes the program from wherever the steps left it.
    if (FFailure.isEmpty()) {
        FStep = FOptions.Steps;
        FStepStart = NowMs();
        {
            const std::lock_guard<std::mutex> lock(FLock);
            FRun.Steps << QStringLiteral("end:");
        }
        Note(QStringLiteral(" action ActionExit"));
        FWindow.Action(QStringLiteral("ActionExit"))->trigger();
        Settle();
        if (FWindow.Data)
            Fail(QStringLiteral("the main window stays open"));
        if (!FFailure.isEmpty())
            FRun.Failure = QStringLiteral("end: ") + FFailure;
    }
    if (FOptions.Trace)
        PrintReport(QStringLiteral("\n"));
    return FRun;
}

void TRandomUser::Settle()
{
    for (int round = 0; round < 4; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString TRandomUser::Check()
{
    if (!FWindow.Data || !FWindow.ClientManager)
        return QStringLiteral("the main window closed");
    if (FWindow.Data->Locked())
        return QStringLiteral("the data object stays locked");
    if (MouseQueue::IsPolling())
        return QStringLiteral("a mouse handler still polls");
    // The tools follow the data object.
    const TData& data = *FWindow.Data;
    TQuorClientManager& manager = *FWindow.ClientManager;
    if (FWindow.Action(QStringLiteral("ActionTranspose"))->isChecked() != data.Transposed())
        return QStringLiteral("the Transpose check mark differs from the table");
    auto* grid = dynamic_cast<TDataDimsEdit*>(manager.GetClient(QStringLiteral("DimEditor")));
    if (grid->rowCount() != data.DimCount())
        return QStringLiteral("the grid shows %1 dimensions of %2").arg(grid->rowCount()).arg(data.DimCount());
    auto* list = dynamic_cast<TPointListController*>(manager.GetClient(QStringLiteral("PointEditor")));
    if (list->Model()->rowCount() != data.PointCount())
        return QStringLiteral("the list shows %1 data items of %2").arg(list->Model()->rowCount()).arg(data.PointCount());
    for (int i = 0; i < 4; ++i) {
        TQuorPlotClient* plot = Plot(kPlotKeys[i]);
        if (FWindow.Action(QString::fromLatin1(kToggles[i]))->isChecked() != bool(plot))
            return QStringLiteral("the check mark of %1 differs from the plot").arg(QLatin1String(kToggles[i]));
        if (!plot)
            continue;
        const char* key = kPlotKeys[i];
        if (plot->UpdateLevel != 0 || plot->PaintLevel != 0)
            return QStringLiteral("%1 stays in an update").arg(QLatin1String(key));
        if (plot->Editor() && plot->Editor()->Mode != emIdle)
            return QStringLiteral("%1's editor stays in mode %2").arg(QLatin1String(key)).arg(int(plot->Editor()->Mode));
        auto* control = qobject_cast<TCustomControl*>(plot->Control());
        if (!control)
            return QStringLiteral("%1 has no control").arg(QLatin1String(key));
        try {
            control->Repaint();
        } catch (const std::exception& e) {
            return QStringLiteral("%1 does not paint: %2 (%3)")
                .arg(QLatin1String(key), ExceptionClassName(e), ExceptionMessage(e));
        }
    }
    // The grid and the list paint as well (through the event loop's handler).
    FWindow.SubPanel->grab();
    return QString();
}

void TRandomUser::RunStep()
{
    // Kinds by weight; a kind that finds nothing to do now falls back to a command.
    struct TKind {
        int Percent;
        const char* Name;
        bool (TRandomUser::*Step)();
    };
    static const TKind kinds[] = {{32, "plot", &TRandomUser::PlotStep},      {6, "cluster", &TRandomUser::ClusterStep},
                                  {6, "list", &TRandomUser::ListStep},       {7, "grid", &TRandomUser::GridStep},
                                  {6, "window", &TRandomUser::WindowStep},   {8, "source", &TRandomUser::SourceStep},
                                  {6, "toggle", &TRandomUser::ToggleStep},   {8, "selection", &TRandomUser::SelectionStep},
                                  {21, "action", &TRandomUser::ActionStep}};
    int pick = Draw(100);
    for (const TKind& kind : kinds) {
        if (pick < kind.Percent) {
            if ((this->*kind.Step)()) {
                ++FRun.Tally[QString::fromLatin1(kind.Name)];
                return;
            }
            break;
        }
        pick -= kind.Percent;
    }
    if (ActionStep())
        ++FRun.Tally[QStringLiteral("action")];
}

// ---- commands --------------------------------------------------------------------------

bool TRandomUser::Reachable(QAction* Action) const
{
    if (!Action->isEnabled() || !Action->isVisible() || FOptions.Avoid.contains(Action->objectName()))
        return false;
    // These end the run or wait for a click on some control: not random use.
    for (const char* name : {"ActionExit", "ActionContextHelp"})
        if (Action->objectName() == QLatin1String(name))
            return false;
    if (!Action->shortcut().isEmpty())
        return true;
    // An action that a menu shows under a caption of its own is reached there.
    if (QAction* item = FWindow.findChild<QAction*>(Action->objectName() + QStringLiteral("MenuItem")))
        return Reachable(item);
    for (QObject* place : Action->associatedObjects()) {
        if (qobject_cast<QMenuBar*>(place))
            return true;
        if (auto* bar = qobject_cast<QToolBar*>(place); bar && bar->isVisible())
            return true;
        if (auto* menu = qobject_cast<QMenu*>(place);
            menu && (menu == FWindow.PointListContextMenu || Reachable(menu->menuAction())))
            return true;
    }
    return false;
}

bool TRandomUser::ActionStep()
{
    std::vector<const char*> names;
    for (const TActionInfo& info : MainWindowActions())
        names.push_back(info.Name);
    names.push_back("MarkColor");
    return TriggerOneOf(names);
}

bool TRandomUser::SourceStep()
{
    return TriggerOneOf({"ActionTranspose", "LoadXML1", "SavetoXML1", "ActionReset", "ActionFitBounds"});
}

bool TRandomUser::ToggleStep()
{
    return TriggerOneOf({std::begin(kToggles), std::end(kToggles)});
}

bool TRandomUser::SelectionStep()
{
    return TriggerOneOf({"ActionHidePoints", "ActionUnhidePoints", "ActionPickPoints", "ActionHideDims",
                         "ActionSortPointsAsc", "ActionSortPointsDesc", "ActionSortDimsAsc", "ActionSortDimsDesc",
                         "ActionGroupPoints", "ActionGroupDims", "ActionCropSubSelection",
                         "ActionSelectPointsUnderSlider", "ActionSelectAll", "ActionUnhideAllPoints", "MarkColor"});
}

bool TRandomUser::TriggerOneOf(const std::vector<const char*>& Names)
{
    // "MarkColor" stands for a colour item of the Edit menu.
    auto actionOf = [this](const char* Name) {
        return qstrcmp(Name, "MarkColor") == 0 ? FWindow.MenuItemMarkPoints->actions().value(Draw(16))
                                              : FWindow.Action(QString::fromLatin1(Name));
    };
    QAction* action = actionOf(Names[size_t(Draw(int(Names.size())))]);
    if (!action || !Reachable(action)) {
        // What the first draw found disabled or hidden, the user would not
        // find either: another that is there now.
        std::vector<QAction*> reachable;
        for (const char* name : Names)
            if (QAction* a = actionOf(name); a && Reachable(a))
                reachable.push_back(a);
        if (reachable.empty())
            return false;
        action = reachable[size_t(Draw(int(reachable.size())))];
    }
    Note(QStringLiteral(" action ") + (action->objectName().isEmpty() ? action->text() : action->objectName()));
    action->trigger();
    return true;
}

// ---- plots -----------------------------------------------------------------------------

TQuorPlotClient* TRandomUser::Plot(const char* Key) const
{
    TQuorClientManager& manager = *FWindow.ClientManager;
    const QString key = QString::fromLatin1(Key);
    return manager.HasClient(key) ? dynamic_cast<TQuorPlotClient*>(manager.GetClient(key)) : nullptr;
}

TQuorPlotClient* TRandomUser::PickPlot()
{
    auto usable = [](TQuorPlotClient* Plot) {
        return Plot && Plot->Form() && Plot->Form()->isVisible() && !Plot->Form()->isMinimized() && Plot->Control()
               && Plot->Control()->isVisible();
    };
    TQuorPlotClient* plot = Plot(kPlotKeys[Draw(4)]);
    if (usable(plot))
        return plot;
    std::vector<TQuorPlotClient*> open;
    for (const char* key : kPlotKeys)
        if (usable(Plot(key)))
            open.push_back(Plot(key));
    return open.empty() ? nullptr : open[size_t(Draw(int(open.size())))];
}

QPoint TRandomUser::PlotPoint(TQuorPlotClient* Plot, const QRect& Area, std::string& Kind)
{
    TGOEdit* editor = Plot->Editor();
    if (editor && editor->Objects && Chance(60)) {
        // By kind first: the few axes, labels, sliders and handles are met
        // as often as the many lines and dots. A drag ends on an object of
        // the kind it started on as often as not: the drops that exchange.
        std::map<std::string, std::vector<TGraphicObject*>> kinds;
        for (TGraphicObject* list : {editor->Objects, editor->Handles})
            for (TGraphicObject* o = list; o; o = o->Next)
                kinds[typeid(*o).name()].push_back(o);
        auto kind = kinds.find(Kind);
        if (kind == kinds.end() || Chance(50)) {
            kind = kinds.begin();
            std::advance(kind, Draw(int(kinds.size())));
        }
        Kind = kind->first;
        const TRect& b = kind->second[size_t(Draw(int(kind->second.size())))]->Bounds;
        // Only what can be seen can be clicked.
        const QRect seen = Area & QRect(b.Left, b.Top, std::max(1, b.Width()), std::max(1, b.Height()));
        if (!seen.isEmpty())
            return PointIn(seen);
    }
    // Now and then just outside the visible area.
    return PointIn(Chance(15) ? Area.adjusted(-8, -8, 8, 8) : Area);
}

Qt::KeyboardModifiers TRandomUser::PickModifiers()
{
    static const Qt::KeyboardModifiers sets[] = {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier,
                                                 Qt::ShiftModifier | Qt::ControlModifier};
    return sets[Draw(4)];
}

QString TRandomUser::Describe(Qt::KeyboardModifiers Modifiers) const
{
    QString text;
    if (Modifiers & Qt::ShiftModifier)
        text += QStringLiteral(" Shift");
    if (Modifiers & Qt::ControlModifier)
        text += QStringLiteral(" Ctrl");
    return text;
}

QString PointText(QPoint P)
{
    return QStringLiteral("(%1,%2)").arg(P.x()).arg(P.y());
}

bool TRandomUser::PlotStep()
{
    TQuorPlotClient* plot = PickPlot();
    if (!plot)
        return false;
    QWidget* target = plot->Control();
    QRect area = target->visibleRegion().boundingRect();
    if (area.isEmpty())
        area = target->rect();
    const Qt::KeyboardModifiers modifiers = PickModifiers();
    std::string kind;
    const QPoint from = PlotPoint(plot, area, kind);
    QString where = QStringLiteral(" %1%2").arg(plot->Info().Key, Describe(modifiers));
    if (!kind.empty())
        where += QStringLiteral(" on ") + QString::fromLatin1(kind.c_str()).remove(QRegularExpression(QStringLiteral("^\\d+")));
    // The right button only where it opens no menu: a menu would wait modally.
    if (Chance(10)) {
        Note(QStringLiteral(" right click") + where + u' ' + PointText(from));
        ClickGesture(target, from, modifiers, Qt::RightButton);
        return true;
    }
    HoverGesture(target, from);
    TGesture gesture(target, Qt::LeftButton, modifiers);
    // Mostly at a hand's pace; unpaced, a handler may meet the release in
    // its first poll and take the press for none.
    static const int paces[] = {0, 1, 5, 20, TGesture::HandPaceRounds};
    const int pace = paces[Draw(5)];
    gesture.Paced(pace);
    QString path;
    QPoint last = from;
    if (Chance(50)) {
        for (int moves = 1 + Draw(4); moves > 0; --moves) {
            last = PlotPoint(plot, area, kind);
            gesture.MoveTo(last);
            path += QStringLiteral(" -> ") + PointText(last);
        }
    }
    Note((path.isEmpty() ? QStringLiteral(" click") : QStringLiteral(" drag")) + where + u' ' + PointText(from) + path
         + QStringLiteral(", pace %1").arg(pace));
    gesture.Release(last).Press(from);
    return true;
}

// ---- side panels -----------------------------------------------------------------------

void TRandomUser::TypeInto(QWidget* Edit, const QString& Text)
{
    QTest::keyClick(Edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(Edit, Qt::Key_Delete);
    QTest::keyClicks(Edit, Text);
}

bool TRandomUser::ClusterStep()
{
    TClusterFrame* frame = FWindow.ClusterFrame;
    if (!frame || !frame->isVisible())
        return false;
    auto clickOne = [this](const char* What, QList<QAbstractButton*> Buttons) {
        Buttons.removeIf([](QAbstractButton* b) { return !b->isEnabled(); });
        if (Buttons.isEmpty())
            return;
        QAbstractButton* button = Buttons[Draw(int(Buttons.size()))];
        Note(QStringLiteral(" cluster %1 \"%2\"").arg(QLatin1String(What), button->text()));
        button->click();
    };
    auto radios = [](QWidget* Group) {
        QList<QAbstractButton*> buttons;
        for (QRadioButton* b : Group->findChildren<QRadioButton*>())
            buttons << b;
        return buttons;
    };
    switch (Draw(6)) {
    case 0:
        clickOne("button", {frame->refreshKMeans});
        break;
    case 1:
        clickOne("distance", radios(frame->MeasureGroup));
        break;
    case 2:
        clickOne("method", radios(frame->AlgorithmGroup));
        break;
    case 3:
        clickOne("box", {frame->PointCheckBox, frame->DimCheckBox, frame->ScalesCheckBox});
        break;
    case 4:
        clickOne("count by", {frame->ClusterButton, frame->SelectedPointButton});
        break;
    default: {
        static const char* const counts[] = {"1", "2", "3", "4", "7", "25", "0", "-2", "x", ""};
        const QString text = QString::fromLatin1(counts[Draw(10)]);
        Note(QStringLiteral(" cluster count \"%1\"").arg(text));
        TypeInto(frame->ClusterEdit, text);
    }
    }
    return true;
}

bool TRandomUser::ListStep()
{
    auto* controller = dynamic_cast<TPointListController*>(FWindow.ClientManager->GetClient(QStringLiteral("PointEditor")));
    TXRExListview* list = controller ? controller->List() : nullptr;
    if (!list || !list->isVisible() || list->viewport()->width() < 2 || list->viewport()->height() < 2)
        return false;
    QWidget* view = list->viewport();
    const Qt::KeyboardModifiers modifiers = PickModifiers();
    const QPoint at = PointIn(view->rect());
    switch (Draw(3)) {
    case 0: {
        QHeaderView* header = list->horizontalHeader();
        const QPoint on(Draw(header->viewport()->width()), header->height() / 2);
        Note(QStringLiteral(" list header click %1 (column %2)").arg(PointText(on)).arg(header->logicalIndexAt(on)));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, on);
        break;
    }
    case 1:
        Note(QStringLiteral(" list click%1 %2 (row %3)").arg(Describe(modifiers), PointText(at)).arg(list->rowAt(at.y())));
        QTest::mouseClick(view, Qt::LeftButton, modifiers, at);
        break;
    default: {
        const QPoint to = PointIn(view->rect());
        Note(QStringLiteral(" list drag%1 %2 -> %3").arg(Describe(modifiers), PointText(at), PointText(to)));
        QTest::mousePress(view, Qt::LeftButton, modifiers, at);
        QTest::mouseMove(view, to);
        QTest::mouseRelease(view, Qt::LeftButton, modifiers, to);
    }
    }
    return true;
}

bool TRandomUser::GridStep()
{
    auto* grid = dynamic_cast<TDataDimsEdit*>(FWindow.ClientManager->GetClient(QStringLiteral("DimEditor")));
    if (!grid || !grid->isVisible() || grid->viewport()->width() < 2 || grid->viewport()->height() < 2)
        return false;
    QWidget* view = grid->viewport();
    const QPoint at = PointIn(view->rect());
    const int row = grid->rowAt(at.y());
    switch (Draw(4)) {
    case 0: {
        // The "On" cell is covered by its row's check box.
        TCheckbox2* box = nullptr;
        if (row >= 0 && grid->horizontalHeader()->visualIndex(grid->columnAt(at.x())) == grid->OnCol()
            && size_t(row) < grid->CheckBoxes().size())
            box = grid->CheckBoxes()[size_t(row)];
        if (box && box->isVisible()) {
            Note(QStringLiteral(" grid check box of row %1").arg(row));
            QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, box->rect().center());
        } else {
            const Qt::KeyboardModifiers modifiers = PickModifiers();
            Note(QStringLiteral(" grid click%1 %2").arg(Describe(modifiers), PointText(at)));
            QTest::mouseClick(view, Qt::LeftButton, modifiers, at);
        }
        break;
    }
    case 1: {
        if (grid->rowCount() == 0)
            return false;
        // The user scrolls the bound into view and clicks it.
        const int dim = Draw(grid->rowCount());
        const bool low = Chance(50);
        const QModelIndex index =
            grid->model()->index(dim, grid->horizontalHeader()->logicalIndex(low ? grid->LowCol() : grid->HighCol()));
        grid->scrollTo(index);
        const QRect cell = grid->visualRect(index);
        if (!view->rect().contains(cell.center()))
            return false;
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, cell.center());
        const TData& data = *FWindow.Data;
        QString text;
        switch (Draw(6)) {
        case 0:
            text = QStringLiteral("abc");
            break;
        case 1:
            text = QString::number(low ? data.GetUBound(dim) : data.GetLBound(dim), 'f', 2);
            break;
        case 2:
            text = low ? QStringLiteral("-1e308") : QStringLiteral("1e308");
            break;
        default: {
            const double min = data.GetLBound(dim), max = data.GetUBound(dim);
            const double span = std::max(1.0, max - min);
            text = QString::number(min - span / 2 + span * 2 * Draw(1000) / 1000.0, 'f', 2);
        }
        }
        const bool enter = Chance(70);
        Note(QStringLiteral(" grid %1 bound of row %2: \"%3\" %4")
                 .arg(low ? QStringLiteral("low") : QStringLiteral("high"))
                 .arg(dim)
                 .arg(text, enter ? QStringLiteral("Enter") : QStringLiteral("then a click on its name")));
        TEdit2* edit = grid->Edit();
        if (!edit || !edit->isVisible())
            return true;
        TypeInto(edit, text);
        if (enter) {
            QTest::keyClick(edit, Qt::Key_Return);
        } else {
            const QModelIndex name = grid->model()->index(dim, 0);
            grid->scrollTo(name);
            QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, grid->visualRect(name).center());
        }
        if (dim < data.DimCount())
            Note(QStringLiteral(", bounds now %1 to %2").arg(data.GetLBound(dim)).arg(data.GetUBound(dim)));
        break;
    }
    case 2: {
        if (row < 0)
            return false;
        const QModelIndex name = grid->model()->index(row, 0);
        grid->scrollTo(name);
        const QPoint from = grid->visualRect(name).center();
        const QPoint to(from.x(), Draw(view->height() + 20) - 10);
        Note(QStringLiteral(" grid drag row %1 to %2").arg(row).arg(PointText(to)));
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(view, from + QPoint(0, 2 * QApplication::startDragDistance()));
        QTest::mouseMove(view, to);
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, to);
        break;
    }
    default: {
        const int fromColumn = Draw(7), toColumn = Draw(7);
        Note(QStringLiteral(" grid move column %1 to %2").arg(fromColumn).arg(toColumn));
        grid->horizontalHeader()->moveSection(fromColumn, toColumn);
    }
    }
    return true;
}

bool TRandomUser::WindowStep()
{
    const int pick = Draw(10);
    if (pick < 6) {
        TQuorPlotClient* plot = Plot(kPlotKeys[Draw(4)]);
        QMdiSubWindow* window = plot ? plot->Form() : nullptr;
        if (!window || !window->isVisible())
            return false;
        static const char* const verbs[] = {"close", "minimize", "maximize", "restore", "resize", "scroll"};
        Note(QStringLiteral(" window %1 %2").arg(QLatin1String(verbs[pick]), plot->Info().Key));
        if (pick == 0) {
            window->close();
        } else if (pick == 1) {
            window->showMinimized();
        } else if (pick == 2) {
            window->showMaximized();
        } else if (pick == 3) {
            window->showNormal();
        } else if (pick == 4) {
            // By its frame, down to a sliver.
            const QSize size(20 + Draw(900), 20 + Draw(700));
            Note(QStringLiteral(" to %1 x %2").arg(size.width()).arg(size.height()));
            window->resize(size);
        } else {
            QAbstractScrollArea* area = nullptr;
            for (QWidget* w = plot->Control(); w && w != window && !area; w = w->parentWidget())
                area = qobject_cast<QAbstractScrollArea*>(w);
            if (!area)
                return true;
            for (QScrollBar* bar : {area->horizontalScrollBar(), area->verticalScrollBar()})
                bar->setValue(bar->minimum() + Draw(bar->maximum() - bar->minimum() + 1));
            Note(QStringLiteral(" to %1, %2").arg(area->horizontalScrollBar()->value()).arg(area->verticalScrollBar()->value()));
        }
    } else if (pick == 6) {
        emit FWindow.MenuWindow->aboutToShow();
        QList<QAction*> items;
        for (QAction* item : FWindow.MenuWindow->actions())
            if (item->parent() == FWindow.MenuWindow && !item->isSeparator())
                items << item;
        if (items.isEmpty())
            return false;
        QAction* item = items[Draw(int(items.size()))];
        Note(QStringLiteral(" window menu \"%1\"").arg(item->text()));
        item->trigger();
    } else if (pick == 7) {
        QPushButton* buttons[] = {FWindow.BitBtnMinimize, FWindow.BitBtnReduce, FWindow.BitBtnExpand,
                                  FWindow.UpSplitterButton, FWindow.DownSplitterButton};
        QPushButton* button = buttons[Draw(5)];
        Note(QStringLiteral(" panel button ") + button->objectName());
        button->click();
    } else if (pick == 8) {
        const int tab = Draw(FWindow.AlgoControl->count());
        Note(QStringLiteral(" bottom tab \"%1\"").arg(FWindow.AlgoControl->tabText(tab)));
        FWindow.AlgoControl->setCurrentIndex(tab);
    } else {
        static const QSize sizes[] = {{1168, 826}, {900, 650}, {1400, 1000}, {700, 500}};
        const QSize size = sizes[Draw(4)];
        Note(QStringLiteral(" main window size %1 x %2").arg(size.width()).arg(size.height()));
        FWindow.resize(size);
    }
    return true;
}

} // namespace

TRandomUseRun RunRandomUse(const QString& PendingFolder, const TRandomUseOptions& Options)
{
    TRandomUseRun run;
    {
        const std::unique_ptr<TQuorbelWindow> window = StartMainWindow(PendingFolder, [] {});
        TRandomUser user(*window, Options);
        run = user.Run();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return run;
}

QString RandomUseReport(const TRandomUseOptions& Options, const TRandomUseRun& Run)
{
    QString command = QStringLiteral("quorbel-randomuse --seed %1 --items %2 --dims %3 --steps %4")
                          .arg(Options.Seed)
                          .arg(Options.Items)
                          .arg(Options.Dims)
                          .arg(Options.Steps);
    if (!Options.Avoid.isEmpty())
        command += QStringLiteral(" --avoid ") + Options.Avoid.join(u',');
    if (!Options.Skip.empty()) {
        QStringList skipped;
        for (int step : Options.Skip)
            skipped << QString::number(step);
        command += QStringLiteral(" --skip ") + skipped.join(u',');
    }
    QString report = QStringLiteral("Random use of the main window, seed %1, %2 items x %3 dimensions: %4\n")
                         .arg(Options.Seed)
                         .arg(Options.Items)
                         .arg(Options.Dims)
                         .arg(Run.Clean() ? QStringLiteral("clean") : Run.Failure);
    report += QStringLiteral("Replay: ") + command + QStringLiteral("\nSteps:\n");
    for (const QString& step : Run.Steps)
        report += step + u'\n';
    return report;
}

bool ParseStepList(const QString& Text, std::set<int>& Steps)
{
    for (const QString& part : Text.split(u',', Qt::SkipEmptyParts)) {
        bool firstOk = false, lastOk = true;
        const int first = part.section(u'-', 0, 0).toInt(&firstOk);
        const int last = part.contains(u'-') ? part.section(u'-', 1).toInt(&lastOk) : first;
        if (!firstOk || !lastOk || first < 0 || last < first)
            return false;
        for (int step = first; step <= last; ++step)
            Steps.insert(step);
    }
    return true;
}
