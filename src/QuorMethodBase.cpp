#include "QuorMethodBase.h"

#include "ObjectEditor/CopyBox.h"
#include "ObjectEditor/PrintBox.h"
#include "QuorDataClients/Hashes.h"
#include "platform/Application.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"
#include "platform/Object.h"
#include "usagelog/Evaluation.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPrinter>
#include <QTimer>

#include <utility>
#include <vector>

// --- client manager ----------------------------------------------------------

TQuorClientManager::TQuorClientManager(QWidget* Owner)
    : FClients(std::make_unique<TObjectHash>(true)),
      FCaptions(std::make_unique<TStringHash>()),
      FOwner(Owner)
{
}

TQuorClientManager::~TQuorClientManager()
{
    // Removing ends the iteration, so each round starts it again and takes
    // the first key: clients leave in the table's iteration order.
    for (;;) {
        FClients->Restart();
        if (!FClients->Next())
            break;
        const QString key = FClients->CurrentKey();
        try {
            RemoveClient(key);
        } catch (const std::exception& e) {
            TApplication::HandleException(e);
            // A client that failed to detach still has to go, or this loop
            // would meet it again forever.
            if (FClients->Exists(key))
                DeleteClient(key);
        }
    }
}

void TQuorClientManager::AddClient(const QString& Key, const QString& Caption,
                                   std::unique_ptr<TObject> Client)
{
    auto* client = dynamic_cast<IQuorClient*>(Client.get());
    QUOR_ASSERT(client, "AddClient: client does not implement interface IQuorClient");
    // Replacing would free an attached client without detaching it.
    QUOR_ASSERT(!FClients->Exists(Key), "AddClient: a client is already held under the key");
    FClients->SetItem(Key, std::move(Client));
    FCaptions->SetItem(Key, Caption);
    client->SetClientManager(this);
    client->Attach();
}

void TQuorClientManager::DeleteClient(const QString& Key)
{
    // The key may belong to the client about to be freed.
    const QString key = Key;
    FClients->Delete(key);
    FCaptions->Delete(key);
}

void TQuorClientManager::RemoveClient(const QString& Key)
{
    auto* client = dynamic_cast<IQuorClient*>(FClients->Item(Key));
    QUOR_ASSERT(client, "RemoveClient: client does not implement interface IQuorClient");
    const QString key = Key; // the key may belong to the client
    client->Detach();
    DeleteClient(key);
}

TObject* TQuorClientManager::GetClient(const QString& Key)
{
    return FClients->Item(Key);
}

bool TQuorClientManager::HasClient(const QString& Key)
{
    return FClients->Exists(Key);
}

void TQuorClientManager::Initialize()
{
}

IQuorClient* TQuorClientManager::ClientInterface(const QString& Key, const char* Failure)
{
    auto* client = dynamic_cast<IQuorClient*>(FClients->Item(Key));
    QUOR_ASSERT(client, Failure);
    return client;
}

IQuorClient* TQuorClientManager::ChooseClient(TCopyBoxForm& Chooser, TQuorClientCapability Offered,
                                              const char* Failure, const QString& NoneText)
{
    // The chooser lists the capable clients in the table's iteration order.
    std::vector<QString> keys;
    FClients->Restart();
    while (FClients->Next()) {
        const QString key = FClients->CurrentKey();
        if (ClientInterface(key, Failure)->GetCapabilities().testFlag(Offered)) {
            Chooser.AddSource(FCaptions->Item(key));
            keys.push_back(key);
        }
    }
    if (keys.empty()) {
        ShowMessage(NoneText);
        return nullptr;
    }
    if (ExecModal(Chooser) != mrOk)
        return nullptr;
    const int chosen = Chooser.ItemIndex();
    if (chosen < 0 || chosen >= int(keys.size()))
        return nullptr;
    return ClientInterface(keys[size_t(chosen)], Failure);
}

void TQuorClientManager::RegisterFactory(const QString& Key, TQuorClientFactory Factory)
{
    FFactories.insert(Key, std::move(Factory));
}

std::unique_ptr<TObject> TQuorClientManager::CreateClient(const QString& Key) const
{
    const auto found = FFactories.constFind(Key);
    if (found == FFactories.constEnd())
        return nullptr;
    return (*found)(FOwner);
}

void TQuorClientManager::CopyToClipboard()
{
    // Each request gets its own chooser.
    TCopyBoxForm chooser(FOwner);
    IQuorClient* client =
        ChooseClient(chooser, ccCopy, "CopyToClipboard: client does not implement interface IQuorClient",
                     QStringLiteral("No content available."));
    if (!client)
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (client->GetCapabilities().testFlag(ccCopyOptions) && client->ShowCopyOptions(clipboard) != mrOk)
        return;
    client->CopyToClipboard(clipboard);
}

void TQuorClientManager::Print()
{
    TPrintBoxForm chooser(FOwner);
    IQuorClient* client = ChooseClient(chooser, ccPrint, "Print: client does not implement interface IQuorClient",
                                       QStringLiteral("No printable content available."));
    if (!client)
        return;
    if (client->GetCapabilities().testFlag(ccPrintOptions) && client->ShowPrintOptions(Printer()) != mrOk)
        return;
    client->Print(Printer());
}

QPrinter* TQuorClientManager::Printer()
{
    if (!FPrinter)
        FPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return FPrinter.get();
}

// --- plot window ---------------------------------------------------------------

namespace {
QMdiArea* MdiAreaOf(QWidget* owner)
{
    if (!owner)
        return nullptr;
    if (auto* area = qobject_cast<QMdiArea*>(owner))
        return area;
    return owner->findChild<QMdiArea*>();
}

constexpr Qt::WindowFlags kPlotWindowFlags = Qt::SubWindow | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;

// Hands every click, double click and key press of the application, with its
// receiver, to a callback before the receiver gets it. A separate object,
// since the window's own event filter already serves the window.
class TInputWatcher : public QObject {
public:
    explicit TInputWatcher(std::function<void(QObject*)> OnInput) : FOnInput(std::move(OnInput))
    {
        if (QCoreApplication* application = QCoreApplication::instance())
            application->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        switch (Event->type()) {
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
            FOnInput(Watched);
            break;
        default:
            break;
        }
        return false;
    }

private:
    std::function<void(QObject*)> FOnInput;
};
} // namespace

TQuorMethodBaseForm::TQuorMethodBaseForm(QWidget* Owner)
    : QMdiSubWindow(nullptr, kPlotWindowFlags)
{
    if (QMdiArea* area = MdiAreaOf(Owner)) {
        area->addSubWindow(this, kPlotWindowFlags);
        // A plot's contents ask for no size, so without one the window
        // would open as a bare title bar: a quarter of the area shows the
        // plot and leaves room for the others.
        resize(area->viewport()->width() / 2, area->viewport()->height() / 2);
    } else
        setParent(Owner, kPlotWindowFlags);
    hide();
    FInputWatcher = std::make_unique<TInputWatcher>([this](QObject* receiver) {
        if (IsCommandSource(receiver))
            NoteCommand();
    });
    connect(this, &QMdiSubWindow::windowStateChanged, this,
            &TQuorMethodBaseForm::WindowStateChanged);
    connect(this, &QMdiSubWindow::aboutToActivate, this, [this] {
        if (OnActivate)
            OnActivate(this);
    });
}

TQuorMethodBaseForm::~TQuorMethodBaseForm()
{
    // The sub-window reports state changes while it is being destroyed,
    // after this part of it is gone.
    disconnect(this, &QMdiSubWindow::windowStateChanged, this,
               &TQuorMethodBaseForm::WindowStateChanged);
}

void TQuorMethodBaseForm::Release()
{
    deleteLater();
}

void TQuorMethodBaseForm::closeEvent(QCloseEvent* event)
{
    TCloseAction action = TCloseAction::caMinimize;
    if (OnClose)
        OnClose(this, action);
    switch (action) {
    case TCloseAction::caNone:
        event->ignore();
        return;
    case TCloseAction::caMinimize:
        event->ignore();
        // Closing was the command; the minimizing that answers it is not.
        FCommand = false;
        showMinimized();
        return;
    case TCloseAction::caHide:
        QMdiSubWindow::closeEvent(event);
        return;
    case TCloseAction::caFree:
        QMdiSubWindow::closeEvent(event);
        Release();
        return;
    }
}

void TQuorMethodBaseForm::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    // Left of the title lies the system-menu button, whose double click closes.
    // A minimized window is its title bar alone.
    const int titleBarHeight = isMinimized() ? height() : contentsRect().top();
    const bool onTitle = pos.y() >= 0 && pos.y() < titleBarHeight && pos.x() >= titleBarHeight;
    const Qt::WindowFlags flags = windowFlags();
    const bool restores = (isMaximized() && flags.testFlag(Qt::WindowMaximizeButtonHint))
        || (isMinimized() && flags.testFlag(Qt::WindowMinimizeButtonHint));
    if (parent() && restores && event->button() == Qt::LeftButton && onTitle) {
        showNormal();
        return;
    }
    QMdiSubWindow::mouseDoubleClickEvent(event);
}

bool TQuorMethodBaseForm::IsCommandSource(QObject* Object) const
{
    if (Object == this || Object == systemMenu())
        return true;
    // A maximized window's buttons move into the main window's menu bar.
    if (!isMaximized() || !mdiArea() || mdiArea()->activeSubWindow() != this)
        return false;
    auto* mainWindow = qobject_cast<QMainWindow*>(window());
    auto* menuBar = mainWindow ? qobject_cast<QMenuBar*>(mainWindow->menuWidget()) : nullptr;
    QWidget* buttons = menuBar ? menuBar->cornerWidget(Qt::TopRightCorner) : nullptr;
    auto* widget = qobject_cast<QWidget*>(Object);
    return buttons && widget && (widget == buttons || buttons->isAncestorOf(widget));
}

void TQuorMethodBaseForm::NoteCommand()
{
    // The command changes the state while its input event is delivered;
    // anything after that is no longer its doing.
    FCommand = true;
    QTimer::singleShot(0, this, [this] { FCommand = false; });
}

void TQuorMethodBaseForm::WindowStateChanged(Qt::WindowStates OldState, Qt::WindowStates NewState)
{
    if (!FCommand)
        return;
    // Activation changes the state too; only the size states are logged.
    const bool wasMin = OldState.testFlag(Qt::WindowMinimized);
    const bool wasMax = OldState.testFlag(Qt::WindowMaximized);
    const bool isMin = NewState.testFlag(Qt::WindowMinimized);
    const bool isMax = NewState.testFlag(Qt::WindowMaximized);
    if (isMin && !wasMin)
        LogEvent(QStringLiteral("minimize"));
    else if (isMax && !wasMax)
        LogEvent(QStringLiteral("maximize"));
    else if ((wasMin || wasMax) && !isMin && !isMax)
        LogEvent(QStringLiteral("undo max/min"));
}
