#include "app/HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QVBoxLayout>

// Outside the anonymous namespace: the resource initializer is declared global.
static void InitHelpResources()
{
    // The manual lives in a static library: without this call the linker
    // drops its resource data.
    Q_INIT_RESOURCE(app);
}

namespace {

const QString TopicRoot = QStringLiteral(":/help/");

QString TopicPath(int Context)
{
    return TopicRoot + QString::number(Context) + QStringLiteral(".html");
}

// Opens the topic of the widget that a "What's this?" click or a dialog's
// Help button addresses.
class THelpFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() != QEvent::WhatsThis && Event->type() != QEvent::QueryWhatsThis)
            return false;
        auto* widget = qobject_cast<QWidget*>(Watched);
        const int context = widget ? HelpContextOf(widget) : 0;
        if (context == 0)
            return false;
        Event->accept();
        if (Event->type() == QEvent::WhatsThis)
            ShowHelpTopic(context);
        return true;
    }
};

THelpFilter* Filter = nullptr;
THelpWindow* Window = nullptr;

} // namespace

THelpWindow::THelpWindow(QWidget* Parent)
    : QWidget(Parent, Qt::Window)
    , Browser(new QTextBrowser(this))
{
    InitHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Quorbel Help"));
    Browser->setObjectName(QStringLiteral("HelpBrowser"));
    Browser->setSearchPaths({TopicRoot});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Browser);
    resize(560, 640);
}

THelpWindow* THelpWindow::Instance()
{
    if (!Window) {
        Window = new THelpWindow;
        Window->setAttribute(Qt::WA_DeleteOnClose, false);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] {
            delete Window;
            Window = nullptr;
        });
    }
    return Window;
}

void THelpWindow::ShowTopic(int Context)
{
    FTopic = HasHelpTopic(Context) ? Context : 100;
    Browser->setSource(QUrl(QStringLiteral("qrc") + TopicPath(FTopic)));
}

bool HasHelpTopic(int Context)
{
    InitHelpResources();
    return QFile::exists(TopicPath(Context));
}

void ShowHelpTopic(int Context)
{
    THelpWindow* window = THelpWindow::Instance();
    window->ShowTopic(Context);
    window->show();
    window->raise();
    window->activateWindow();
}

int HelpContextOf(const QWidget* Widget)
{
    for (const QWidget* w = Widget; w; w = w->parentWidget()) {
        const QVariant context = w->property("helpContext");
        if (context.isValid() && context.toInt() > 0)
            return context.toInt();
    }
    return 0;
}

void InstallHelpFilter()
{
    if (Filter)
        return;
    Filter = new THelpFilter(qApp);
    qApp->installEventFilter(Filter);
}

QString HelpPagesFolder()
{
    InitHelpResources();
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath() + QStringLiteral("/quorbel");
    folder += QStringLiteral("/help/");
    QDir().mkpath(folder);
    // Each page is replaced in one rename: another running Quorbel may be
    // showing it, and a page removed before its copy would be missing then.
    for (const QString& name : QDir(TopicRoot).entryList(QDir::Files)) {
        QFile page(TopicRoot + name);
        QSaveFile target(folder + name);
        if (page.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly)) {
            target.write(page.readAll());
            target.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
            target.commit();
        }
    }
    return folder;
}
