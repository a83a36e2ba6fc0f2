#include "QuorMethodBase.h"

#include "ObjectEditor/CopyBox.h"
#include "QuorDataClients/Hashes.h"
#include "platform/Exceptions.h"
#include "platform/Object.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A client that writes every call it receives, and its end, into a shared
// journal as "<name>.<call>".
class TJournalClient : public TObject, public IQuorClient {
public:
    TJournalClient(QString name, QStringList& journal, TQuorClientCapabilities caps = {},
                   int optionsResult = mrOk)
        : Name(std::move(name)), Journal(journal), Caps(caps), OptionsResult(optionsResult)
    {
    }
    ~TJournalClient() override { Journal << Name + ".Free"; }

    void SetClientManager(TQuorClientManager* manager) override
    {
        Manager = manager;
        Journal << Name + ".SetClientManager";
    }
    void Attach() override { Journal << Name + ".Attach"; }
    void Detach() override { Journal << Name + ".Detach"; }
    TQuorClientCapabilities GetCapabilities() override { return Caps; }
    void CopyToClipboard(QClipboard* clipboard) override
    {
        Journal << Name + ".CopyToClipboard";
        Clipboard = clipboard;
    }
    void Print(QPrinter* printer) override
    {
        Journal << Name + ".Print";
        Printer = printer;
    }
    int ShowCopyOptions(QClipboard*) override
    {
        Journal << Name + ".ShowCopyOptions";
        return OptionsResult;
    }
    int ShowPrintOptions(QPrinter*) override
    {
        Journal << Name + ".ShowPrintOptions";
        return OptionsResult;
    }

    QString Name;
    QStringList& Journal;
    TQuorClientCapabilities Caps;
    int OptionsResult;
    TQuorClientManager* Manager = nullptr;
    QClipboard* Clipboard = nullptr;
    QPrinter* Printer = nullptr;
};

constexpr TQuorClientCapabilities kPlotCaps = ccPrint | ccCopy | ccCopyOptions | ccPrintOptions;

struct StandardClient {
    const char* key;
    const char* caption;
    TQuorClientCapabilities caps;
};

// The clients of a main window with every plot open, in the order it adds them.
const StandardClient kStandardClients[] = {
    {"SubSelection", "Sub-Selection", {}},
    {"FormControl", "Form Control Object", {}},
    {"Action", "Action Object", {}},
    {"DimEditor", "Dimension Editor", {}},
    {"PointEditor", "Data items Editor", ccCopy | ccCopyOptions},
    {"DataActor", "Data Actor", {}},
    {"ClusteringFrame", "Clustering Algorithm", {}},
    {"ParallelCoordinates", "Parallel Coordinates", kPlotCaps},
    {"PermutationMatrix", "Permutation Matrix", kPlotCaps},
    {"ScatterplotMatrix", "Scatterplot Matrix", kPlotCaps},
    {"AndrewsCurves", "Andrews' Curves", kPlotCaps},
};

// The sources a chooser offers, in order.
QStringList Sources(QDialog& dialog)
{
    QStringList captions;
    for (auto* item : static_cast<TCopyBoxForm&>(dialog).RadioGroupSource->findChildren<QRadioButton*>())
        captions << item->text();
    return captions;
}

// Answers a chooser with one source and a modal result, noting what it offered.
TScriptedResponder::DialogHandler Choose(int index, int result, QStringList* offered = nullptr)
{
    return [=](QDialog& dialog) {
        if (offered)
            *offered = Sources(dialog);
        static_cast<TCopyBoxForm&>(dialog).SetItemIndex(index);
        return result;
    };
}

class ClientManagerTest : public ::testing::Test {
protected:
    TJournalClient* Add(const QString& key, const QString& caption, TQuorClientCapabilities caps = {},
                        int optionsResult = mrOk)
    {
        auto client = std::make_unique<TJournalClient>(key, Journal, caps, optionsResult);
        TJournalClient* raw = client.get();
        Manager->AddClient(key, caption, std::move(client));
        return raw;
    }
    void AddStandardClients()
    {
        for (const auto& c : kStandardClients)
            Add(QString::fromLatin1(c.key), QString::fromUtf8(c.caption), c.caps);
        Journal.clear();
    }

    QStringList Journal;
    std::unique_ptr<TQuorClientManager> Manager = std::make_unique<TQuorClientManager>(nullptr);
    ScopedResponder Responder;
};

} // namespace

TEST_F(ClientManagerTest, AddClientSetsTheManagerBeforeAttaching)
{
    TJournalClient* client = Add("SubSelection", "Sub-Selection");
    EXPECT_EQ(Journal, QStringList({"SubSelection.SetClientManager", "SubSelection.Attach"}));
    EXPECT_EQ(client->Manager, Manager.get());
    EXPECT_TRUE(Manager->HasClient("SubSelection"));
    EXPECT_FALSE(Manager->HasClient("Action"));
    EXPECT_EQ(Manager->GetClient("SubSelection"), client);
}

TEST_F(ClientManagerTest, AddClientRefusesAnObjectWithoutTheInterface)
{
    try {
        Manager->AddClient("Plain", "Plain object", std::make_unique<TObject>());
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_TRUE(e.Message().startsWith(
            "AddClient: client does not implement interface IQuorClient (QuorMethodBase, line "))
            << e.Message().toStdString();
    }
    EXPECT_FALSE(Manager->HasClient("Plain"));
}

TEST_F(ClientManagerTest, AddClientRefusesAKeyAlreadyHeld)
{
    TJournalClient* first = Add("Action", "Action Object");
    Journal.clear();
    EXPECT_THROW(Add("Action", "Second"), EAssertionFailed);
    // The held client stays attached; the refused one is freed untouched.
    EXPECT_EQ(Journal, QStringList({"Action.Free"}));
    EXPECT_EQ(Manager->GetClient("Action"), first);
}

TEST_F(ClientManagerTest, RemoveClientDetachesBeforeFreeing)
{
    Add("Action", "Action Object");
    Journal.clear();
    Manager->RemoveClient("Action");
    EXPECT_EQ(Journal, QStringList({"Action.Detach", "Action.Free"}));
    EXPECT_FALSE(Manager->HasClient("Action"));
}

TEST_F(ClientManagerTest, DeleteClientFreesWithoutDetaching)
{
    Add("Action", "Action Object");
    Journal.clear();
    Manager->DeleteClient("Action");
    EXPECT_EQ(Journal, QStringList({"Action.Free"}));
    EXPECT_FALSE(Manager->HasClient("Action"));
}

TEST_F(ClientManagerTest, MissingKeysRaiseFindErrors)
{
    EXPECT_THROW(Manager->GetClient("ScatterplotMatrix"), EHashFindError);
    EXPECT_THROW(Manager->RemoveClient("ScatterplotMatrix"), EHashFindError);
    EXPECT_THROW(Manager->DeleteClient("ScatterplotMatrix"), EHashFindError);
}

TEST_F(ClientManagerTest, DestructionRemovesEveryClientOnceInIterationOrder)
{
    AddStandardClients();
    Manager.reset();
    const QStringList order = {"ScatterplotMatrix", "PermutationMatrix", "ClusteringFrame",
                               "ParallelCoordinates", "FormControl", "SubSelection", "DimEditor",
                               "DataActor", "AndrewsCurves", "PointEditor", "Action"};
    QStringList expected;
    for (const QString& key : order)
        expected << key + ".Detach" << key + ".Free";
    EXPECT_EQ(Journal, expected);
}

TEST_F(ClientManagerTest, CopyChooserListsCopyableClientsInIterationOrder)
{
    AddStandardClients();
    QStringList offered;
    Responder->Push(Choose(1, mrOk, &offered));
    Manager->CopyToClipboard();
    EXPECT_EQ(offered, QStringList({"Scatterplot Matrix", "Permutation Matrix", "Parallel Coordinates",
                                    "Andrews' Curves", "Data items Editor"}));
    EXPECT_EQ(Responder->Texts(), QStringList({"Copy to Clipboard"}));
    // The second entry is the permutation matrix; its options run first.
    EXPECT_EQ(Journal, QStringList({"PermutationMatrix.ShowCopyOptions",
                                    "PermutationMatrix.CopyToClipboard"}));
    auto* chosen = static_cast<TJournalClient*>(Manager->GetClient("PermutationMatrix"));
    EXPECT_EQ(chosen->Clipboard, QGuiApplication::clipboard());
}

TEST_F(ClientManagerTest, PrintChooserListsPrintableClientsInIterationOrder)
{
    AddStandardClients();
    QStringList offered;
    Responder->Push(Choose(3, mrOk, &offered));
    Manager->Print();
    EXPECT_EQ(offered, QStringList({"Scatterplot Matrix", "Permutation Matrix", "Parallel Coordinates",
                                    "Andrews' Curves"}));
    EXPECT_EQ(Responder->Texts(), QStringList({"Print"}));
    EXPECT_EQ(Journal, QStringList({"AndrewsCurves.ShowPrintOptions", "AndrewsCurves.Print"}));
    auto* chosen = static_cast<TJournalClient*>(Manager->GetClient("AndrewsCurves"));
    EXPECT_NE(chosen->Printer, nullptr);
}

TEST_F(ClientManagerTest, EveryRequestGetsAFreshChooser)
{
    AddStandardClients();
    QStringList first, second;
    Responder->Push(Choose(0, mrCancel, &first));
    Responder->Push(Choose(0, mrCancel, &second));
    Manager->CopyToClipboard();
    Manager->CopyToClipboard();
    EXPECT_EQ(first.size(), 5);
    EXPECT_EQ(second, first);
}

TEST_F(ClientManagerTest, CancelOrNoChoiceCopiesAndPrintsNothing)
{
    AddStandardClients();
    Responder->Push(Choose(0, mrCancel));
    Manager->CopyToClipboard();
    Responder->Push(Choose(0, mrCancel));
    Manager->Print();
    // OK without a checked source.
    Responder->Push(Choose(-1, mrOk));
    Manager->CopyToClipboard();
    EXPECT_TRUE(Journal.isEmpty()) << Journal.join(' ').toStdString();
    EXPECT_EQ(Responder->Count(TScriptedResponder::Kind::Dialog), 3);
}

TEST_F(ClientManagerTest, OptionsOtherThanOkStopTheRequest)
{
    Add("ScatterplotMatrix", "Scatterplot Matrix", kPlotCaps, mrCancel);
    Responder->Push(Choose(0, mrOk));
    Manager->CopyToClipboard();
    Responder->Push(Choose(0, mrOk));
    Manager->Print();
    EXPECT_EQ(Journal, QStringList({"ScatterplotMatrix.SetClientManager", "ScatterplotMatrix.Attach",
                                    "ScatterplotMatrix.ShowCopyOptions",
                                    "ScatterplotMatrix.ShowPrintOptions"}));
}

TEST_F(ClientManagerTest, ClientsWithoutOptionsAreCopiedDirectly)
{
    Add("PointEditor", "Data items Editor", ccCopy);
    Journal.clear();
    Responder->Push(Choose(0, mrOk));
    Manager->CopyToClipboard();
    EXPECT_EQ(Journal, QStringList({"PointEditor.CopyToClipboard"}));
}

TEST_F(ClientManagerTest, WithoutCapableClientsOnlyAMessageShows)
{
    Add("SubSelection", "Sub-Selection");
    Add("PointEditor", "Data items Editor", ccCopy | ccCopyOptions);
    Journal.clear();
    Manager->Print();
    Manager->RemoveClient("PointEditor");
    Journal.clear();
    Manager->CopyToClipboard();
    EXPECT_EQ(Responder->Texts(), QStringList({"No printable content available.", "No content available."}));
    EXPECT_EQ(Responder->Count(TScriptedResponder::Kind::Dialog), 0);
    EXPECT_EQ(Responder->Requests()[0].caption, QStringLiteral("Quorbel"));
    EXPECT_TRUE(Journal.isEmpty());
}

TEST_F(ClientManagerTest, WithNoPlotOpenOnlyTheItemListCanBeCopied)
{
    for (const auto& c : kStandardClients)
        if (!(c.caps & ccPrint))
            Add(QString::fromLatin1(c.key), QString::fromUtf8(c.caption), c.caps);
    QStringList offered;
    Responder->Push(Choose(0, mrCancel, &offered));
    Manager->CopyToClipboard();
    Manager->Print();
    EXPECT_EQ(offered, QStringList({"Data items Editor"}));
    EXPECT_EQ(Responder->Texts().last(), QStringLiteral("No printable content available."));
}

TEST_F(ClientManagerTest, FactoriesMakeClientsOfTheirKeyWithTheOwnerAndTheLastOneHolds)
{
    QWidget owner;
    TQuorClientManager manager(&owner);
    QWidget* madeFor = nullptr;
    manager.RegisterFactory(QStringLiteral("ScatterplotMatrix"), [&](QWidget* Owner) {
        madeFor = Owner;
        return std::make_unique<TJournalClient>(QStringLiteral("first"), Journal);
    });
    manager.RegisterFactory(QStringLiteral("ScatterplotMatrix"), [&](QWidget* Owner) {
        madeFor = Owner;
        return std::make_unique<TJournalClient>(QStringLiteral("second"), Journal);
    });

    EXPECT_EQ(manager.CreateClient(QStringLiteral("AndrewsCurves")), nullptr);
    std::unique_ptr<TObject> made = manager.CreateClient(QStringLiteral("ScatterplotMatrix"));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(madeFor, &owner);
    EXPECT_EQ(static_cast<TJournalClient*>(made.get())->Name, QStringLiteral("second"));
    // Made, not added: the manager holds nothing until the caller adds it.
    EXPECT_FALSE(manager.HasClient(QStringLiteral("ScatterplotMatrix")));
    manager.AddClient(QStringLiteral("ScatterplotMatrix"), QStringLiteral("Scatterplot Matrix"), std::move(made));
    EXPECT_TRUE(manager.HasClient(QStringLiteral("ScatterplotMatrix")));
}
