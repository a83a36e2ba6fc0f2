#include "LogServer.h"
#include "UsageLogFixture.h"

#include "platform/Exceptions.h"
#include "support/TestSupport.h"
#include "usagelog/Waiting.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

namespace {

const QString Notice = QStringLiteral(
    "Quorbel versucht das Logfile an den Server zu schicken. \r\n"
    "Dieses File wird nur für die Evaluation der Software gespeichert\r\n"
    "Bitte stellen Sie sicher, dass sie mit dem Internet verbunden sind.\r\n"
    "Danke für Ihre Mitarbeit. ");

void WriteFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

std::vector<QByteArray> DataOf(const std::vector<TLogServer::TRequest>& requests)
{
    std::vector<QByteArray> data;
    for (const auto& r : requests)
        data.push_back(r.Field("data"));
    return data;
}

// Opens the write end of a pipe whenever a reader has waited on it for a
// while, so that a reader blocked in open() makes its test fail, not hang.
class TPipeRescue {
public:
    explicit TPipeRescue(const QString& pipe)
        : FPath(QFile::encodeName(pipe)), FThread([this](std::stop_token stop) { Watch(stop); })
    {
    }
    int Rescues() const { return FRescues; }

private:
    void Watch(std::stop_token stop)
    {
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        while (!never.wait_for(lock, stop, std::chrono::seconds(5), [] { return false; }) && !stop.stop_requested()) {
            const int fd = ::open(FPath.constData(), O_WRONLY | O_NONBLOCK); // fails while nobody reads
            if (fd >= 0) {
                ::close(fd);
                ++FRescues;
            }
        }
    }

    QByteArray FPath;
    std::atomic<int> FRescues = 0;
    std::jthread FThread;
};

} // namespace

// --- log lines -------------------------------------------------------------

TEST_F(UsageLogTest, LineIsBlankTimeStampCommaCode)
{
    LogEvent(QStringLiteral("open 1"));
    LogEvent(QStringLiteral("close Quorbel"));
    EXPECT_THAT(GetLog(), ElementsAre(QStringLiteral(" 03/08/10 14:05:09.007,open 1"),
                                      QStringLiteral(" 03/08/10 14:05:09.007,close Quorbel")));
}

TEST_F(UsageLogTest, TimeStampTakesTheLocaleSeparatorsAndCounts24Hours)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    LogEvent(QStringLiteral("a"));
    QLocale::setDefault(QLocale(QLocale::Finnish, QLocale::Finland));
    LogEvent(QStringLiteral("b"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    SetLogClock([] { return QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58, 90)); });
    LogEvent(QStringLiteral("c"));
    EXPECT_THAT(GetLog(), ElementsAre(QStringLiteral(" 03.08.10 14:05:09.007,a"),
                                      QStringLiteral(" 03.08.10 14.05.09.007,b"),
                                      QStringLiteral(" 31/12/99 23:59:58.090,c")));
}

TEST_F(UsageLogTest, CommasAndSemicolonsInCodesBecomeDashes)
{
    LogEvent(QStringLiteral("a,b;c"));
    LogEvent(QStringLiteral(";;,,"));
    EXPECT_THAT(GetLog(), ElementsAre(QStringLiteral(" 03/08/10 14:05:09.007,a-b-c"),
                                      QStringLiteral(" 03/08/10 14:05:09.007,----")));
}

TEST_F(UsageLogTest, EmptyCodeAppendsNothingAndCreateLogStartsAfresh)
{
    LogEvent(QString());
    EXPECT_TRUE(GetLog().isEmpty());
    LogEvent(QStringLiteral("x"));
    ASSERT_EQ(GetLog().size(), 1);
    CreateLog();
    EXPECT_TRUE(GetLog().isEmpty());
}

// --- files -----------------------------------------------------------------

TEST_F(UsageLogTest, FilesHoldTheTextsBytesOnly)
{
    const QString name = PendingFolder() + QStringLiteral("text.txt");
    WriteFile(name, "an older and longer content");
    WriteStringToFile(name, QStringLiteral(" Größe;x"));
    EXPECT_EQ(ReadFile(name), QStringLiteral(" Größe;x").toUtf8());
    QString text;
    ReadFileToString(name, text);
    EXPECT_EQ(text, QStringLiteral(" Größe;x"));

    EXPECT_THROW(ReadFileToString(PendingFolder() + QStringLiteral("missing.txt"), text), Exception);
    EXPECT_THROW(WriteStringToFile(PendingFolder() + QStringLiteral("no/such/file.txt"), text),
                 Exception);
    EXPECT_EQ(text, QStringLiteral(" Größe;x"));
}

TEST_F(UsageLogTest, ListLogFilesCountsEntriesBeginningWithLog)
{
    const QString folder = PendingFolder();
    for (const char* name : {"log", "log7.txt", "Log1.txt", "alog.txt", "other"})
        WriteFile(folder + QString::fromLatin1(name), "x");
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("logbook")));

    EXPECT_EQ(ListLogFiles(folder.chopped(1)), 3); // the folder without its final "/"
    EXPECT_THAT(PendingLogNames(), UnorderedElementsAre(QStringLiteral("log"), QStringLiteral("log7.txt"),
                                                        QStringLiteral("logbook")));
    EXPECT_EQ(ListLogFiles(folder + QStringLiteral("missing/")), 0);
    EXPECT_TRUE(PendingLogNames().isEmpty());
    EXPECT_EQ(GetTempDirectory(), QDir::tempPath() + u'/');
}

// --- upload ----------------------------------------------------------------

TEST_F(UsageLogTest, UploadPostsIdThenDataAsMultipartForm)
{
    TLogServer server;
    ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
    EXPECT_TRUE(UploadLog(QStringLiteral(" a; b ü")));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Method, "POST");
    EXPECT_EQ(requests[0].Path, "/quorbel_log/getdata.php");
    EXPECT_TRUE(requests[0].ContentType.startsWith("multipart/form-data; boundary="));
    using Field = std::pair<QByteArray, QByteArray>;
    EXPECT_THAT(requests[0].Fields,
                ElementsAre(Field("id", "1234ABCD"), Field("data", QStringLiteral(" a; b ü").toUtf8())));
}

TEST_F(UsageLogTest, ServerAddressComesFromTheEnvironmentOrTheSettings)
{
    TLogServer server;
    TSettings settings;
    // A bare host and port with a trailing "/" will do.
    settings.WriteString(QStringLiteral("log_server"),
                         server.BaseAddress().mid(QStringLiteral("http://").size()) + u'/');
    {
        ScopedEnv unset("QUORBEL_LOG_SERVER", QByteArray());
        EXPECT_TRUE(UploadLog(QStringLiteral("from settings")));
    }
    settings.WriteString(QStringLiteral("log_server"), TLogServer::RefusingAddress());
    {
        ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
        EXPECT_TRUE(UploadLog(QStringLiteral("from environment")));
    }
    EXPECT_THAT(DataOf(server.Requests()), ElementsAre("from settings", "from environment"));
}

TEST_F(UsageLogTest, UploadFailsOnErrorStatusRefusalSilenceAndNoServer)
{
    TLogServer server(TLogServer::TMode::Fail);
    {
        ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
        EXPECT_FALSE(UploadLog(QStringLiteral("status 500")));
        server.SetMode(TLogServer::TMode::Silent);
        EXPECT_FALSE(UploadLog(QStringLiteral("no answer")));
    }
    EXPECT_THAT(DataOf(server.Requests()), ElementsAre("status 500", "no answer"));
    {
        ScopedEnv env("QUORBEL_LOG_SERVER", TLogServer::RefusingAddress().toUtf8());
        EXPECT_FALSE(UploadLog(QStringLiteral("refused")));
    }
    {
        ScopedEnv env("QUORBEL_LOG_SERVER", QByteArray());
        EXPECT_FALSE(UploadLog(QStringLiteral("no server configured")));
    }
}

// --- sending the log -------------------------------------------------------

TEST_F(UsageLogTest, SendLogUploadsTheLinesJoinedBySemicolons)
{
    TLogServer server;
    ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
    ScopedResponder responder;
    LogEvent(QStringLiteral("one"));
    SendLog();
    LogEvent(QStringLiteral("two"));
    LogEvent(QStringLiteral("three"));
    SendLog(); // a later closing sends the whole log again

    EXPECT_THAT(DataOf(server.Requests()),
                ElementsAre(" 03/08/10 14:05:09.007,one",
                            " 03/08/10 14:05:09.007,one; 03/08/10 14:05:09.007,two;"
                            " 03/08/10 14:05:09.007,three"));
    EXPECT_EQ(responder->Count(TScriptedResponder::Kind::Message), 0);
    EXPECT_EQ(Setting("log_pending"), QStringLiteral("false"));
    EXPECT_EQ(GetLog().size(), 3);
    EXPECT_TRUE(Entries(PendingFolder()).isEmpty());
}

TEST_F(UsageLogTest, SendLogRetriesOnceAfterTheNotice)
{
    TLogServer server;
    server.FailNext(1);
    ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
    ScopedResponder responder;
    LogEvent(QStringLiteral("x"));
    SendLog();
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(responder->Count(TScriptedResponder::Kind::Message), 1);
    EXPECT_TRUE(Entries(PendingFolder()).isEmpty());
    EXPECT_EQ(Setting("log_pending"), QStringLiteral("false"));
}

TEST_F(UsageLogTest, SendLogShowsTheWaitingWindowAndRunsNoEvents)
{
    TLogServer server;
    ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
    TAboutBox1 waiting;
    struct TEventCounter : QObject {
        int Shown = 0;
        int Queued = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            Shown += e->type() == QEvent::Show;
            Queued += e->type() == QEvent::User;
            return false;
        }
    } counter;
    waiting.installEventFilter(&counter);
    // Stands for an automation call or a close that arrived just before.
    QCoreApplication::postEvent(&waiting, new QEvent(QEvent::User));
    SendLog();
    EXPECT_EQ(counter.Shown, 1);
    EXPECT_FALSE(waiting.isVisible());
    EXPECT_EQ(waiting.pos(), QPoint(200, 100));
    EXPECT_EQ(counter.Queued, 0);
    QCoreApplication::sendPostedEvents(&waiting, QEvent::User);
    EXPECT_EQ(counter.Queued, 1);
}

enum class TOutage { Refused, ServerError, Silent };

class SendLogOutageTest : public UsageLogTest, public ::testing::WithParamInterface<TOutage> {};

TEST_P(SendLogOutageTest, OneNoticeOneRetryAndANewPendingFile)
{
    TLogServer server(GetParam() == TOutage::Silent ? TLogServer::TMode::Silent : TLogServer::TMode::Fail);
    ScopedEnv env("QUORBEL_LOG_SERVER", GetParam() == TOutage::Refused
                                            ? TLogServer::RefusingAddress().toUtf8()
                                            : server.BaseAddress().toUtf8());
    ScopedResponder responder;
    WriteFile(PendingFolder() + QStringLiteral("log0.txt"), "an older log");
    ASSERT_TRUE(QDir(PendingFolder()).mkdir(QStringLiteral("logbook")));
    LogEvent(QStringLiteral("a"));
    LogEvent(QStringLiteral("close Quorbel"));

    SendLog();

    ASSERT_EQ(responder->Count(TScriptedResponder::Kind::Message), 1);
    EXPECT_TRUE(responder->Texts().at(0).startsWith(Notice)) << responder->Texts().at(0).toStdString();
    EXPECT_EQ(server.Requests().size(), GetParam() == TOutage::Refused ? 0u : 2u);
    // Two entries begin with "log", so the new file is the third.
    EXPECT_THAT(Entries(PendingFolder()),
                ElementsAre(QStringLiteral("log0.txt"), QStringLiteral("log2.txt"), QStringLiteral("logbook")));
    EXPECT_EQ(ReadFile(PendingFolder() + QStringLiteral("log2.txt")), GetLog().join(u';').toUtf8());
    EXPECT_EQ(ReadFile(PendingFolder() + QStringLiteral("log0.txt")), "an older log");
    EXPECT_EQ(Setting("log_pending"), QStringLiteral("true"));
    EXPECT_EQ(GetLog().size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Outages, SendLogOutageTest,
                         ::testing::Values(TOutage::Refused, TOutage::ServerError, TOutage::Silent));

TEST_F(UsageLogTest, PendingFileNeverReplacesAnExistingOne)
{
    ScopedEnv env("QUORBEL_LOG_SERVER", TLogServer::RefusingAddress().toUtf8());
    // log1.txt was sent and deleted earlier; two entries, and "log2.txt" is taken.
    WriteFile(PendingFolder() + QStringLiteral("log0.txt"), "zero");
    WriteFile(PendingFolder() + QStringLiteral("log2.txt"), "two");
    LogEvent(QStringLiteral("new"));
    SendLog();
    SendLog();
    EXPECT_THAT(Entries(PendingFolder()),
                ElementsAre(QStringLiteral("log0.txt"), QStringLiteral("log2.txt"), QStringLiteral("log3.txt"),
                            QStringLiteral("log4.txt")));
    EXPECT_EQ(ReadFile(PendingFolder() + QStringLiteral("log0.txt")), "zero");
    EXPECT_EQ(ReadFile(PendingFolder() + QStringLiteral("log2.txt")), "two");
    EXPECT_EQ(ReadFile(PendingFolder() + QStringLiteral("log3.txt")), GetLog().at(0).toUtf8());
}

TEST_F(UsageLogTest, FirstPendingLogGoesToTheTemporaryFoldersQuorbelFolder)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    ScopedEnv tmpdir("TMPDIR", temp.path().toLocal8Bit());
    ScopedEnv env("QUORBEL_LOG_SERVER", TLogServer::RefusingAddress().toUtf8());
    TSettings().WriteString(QStringLiteral("log_location"), QString());
    LogEvent(QStringLiteral("x"));

    SendLog();
    SendLog();

    const QString folder = QDir::tempPath() + QStringLiteral("/quorbel/");
    EXPECT_TRUE(folder.startsWith(temp.path()));
    EXPECT_EQ(Setting("log_location"), folder);
    EXPECT_THAT(Entries(folder), ElementsAre(QStringLiteral("log0.txt"), QStringLiteral("log1.txt")));
}

TEST_F(UsageLogTest, PendingFolderRemovedSinceAnEarlierRunIsMadeAgain)
{
    ScopedEnv env("QUORBEL_LOG_SERVER", TLogServer::RefusingAddress().toUtf8());
    const QString folder = PendingFolder() + QStringLiteral("emptied/at/boot/");
    TSettings().WriteString(QStringLiteral("log_location"), folder);
    LogEvent(QStringLiteral("x"));

    SendLog();

    EXPECT_EQ(ReadFile(folder + QStringLiteral("log0.txt")), GetLog().at(0).toUtf8());
    EXPECT_EQ(Setting("log_location"), folder);
}

TEST_F(UsageLogTest, SuccessfulUploadSendsAndDeletesEveryReadablePendingLog)
{
    TLogServer server;
    ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
    const QString folder = PendingFolder();
    WriteFile(folder + QStringLiteral("log0.txt"), "first pending");
    WriteFile(folder + QStringLiteral("log1.txt"), "");
    WriteFile(folder + QStringLiteral("log2.txt"), "second pending");
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("log4.txt"))); // cannot be read as a file
    WriteFile(folder + QStringLiteral("other.txt"), "not a log");
    SetUserCode(QStringLiteral("5678EFGH"));
    LogEvent(QStringLiteral("x"));

    SendLog();

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].Field("data"), GetLog().at(0).toUtf8());
    EXPECT_THAT(DataOf({requests.begin() + 1, requests.end()}),
                UnorderedElementsAre("first pending", "second pending"));
    for (const auto& r : requests)
        EXPECT_EQ(r.Field("id"), "5678EFGH"); // the current code, also for older logs
    EXPECT_THAT(Entries(folder), ElementsAre(QStringLiteral("log1.txt"), QStringLiteral("log4.txt"),
                                             QStringLiteral("other.txt")));
    EXPECT_EQ(Setting("log_pending"), QStringLiteral("false"));
}

TEST_F(UsageLogTest, AFailedPendingUploadLeavesTheRestForTheNextRun)
{
    // The server takes the run's log and refuses every older one, as one
    // that stops answering would: only one of them is tried.
    TLogServer server;
    server.SetRejectedData("pending");
    ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
    const QString folder = PendingFolder();
    for (int i = 0; i < 4; ++i)
        WriteFile(folder + QStringLiteral("log%1.txt").arg(i), "pending");
    LogEvent(QStringLiteral("x"));

    SendLog();

    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(Entries(folder).size(), 4);
    EXPECT_EQ(Setting("log_pending"), QStringLiteral("false"));
}

TEST_F(UsageLogTest, SendPendingLogsWithoutAFolderSendsNothing)
{
    TLogServer server;
    ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
    TSettings().WriteString(QStringLiteral("log_location"), QString());
    SendPendingLogs();
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(Setting("log_pending"), QStringLiteral("false"));
}

// --- bad input -------------------------------------------------------------

TEST_F(UsageLogTest, UnwritablePendingFolderRaisesAndKeepsEverything)
{
    ScopedEnv env("QUORBEL_LOG_SERVER", TLogServer::RefusingAddress().toUtf8());
    WriteFile(PendingFolder() + QStringLiteral("log0.txt"), "older");
    // A folder inside a plain file can be created by nobody, not even root.
    WriteFile(PendingFolder() + QStringLiteral("plain"), "x");
    TSettings().WriteString(QStringLiteral("log_location"), PendingFolder() + QStringLiteral("plain/sub/"));
    TAboutBox1 waiting;
    LogEvent(QStringLiteral("kept"));

    EXPECT_THROW(SendLog(), Exception);

    EXPECT_EQ(GetLog().size(), 1);
    EXPECT_EQ(ReadFile(PendingFolder() + QStringLiteral("log0.txt")), "older");
    // The failure ends the closing; the window says why the program waits.
    EXPECT_TRUE(waiting.isVisible());
}

TEST_F(UsageLogTest, PendingFolderThatTakesNoFilesRaisesAndKeepsEverything)
{
    ScopedEnv env("QUORBEL_LOG_SERVER", TLogServer::RefusingAddress().toUtf8());
    // The process folder exists, and nobody, not even root, makes files in it.
    const QString folder = QStringLiteral("/proc/");
    TSettings().WriteString(QStringLiteral("log_location"), folder);
    const QStringList before = QDir(folder).entryList({QStringLiteral("log*")}, QDir::AllEntries);
    LogEvent(QStringLiteral("kept"));
    EXPECT_THROW(SendLog(), Exception);
    EXPECT_EQ(GetLog().size(), 1);
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("log*")}, QDir::AllEntries), before);
}

TEST_F(UsageLogTest, FullDiskLeavesNoTruncatedPendingFile)
{
    ScopedEnv env("QUORBEL_LOG_SERVER", TLogServer::RefusingAddress().toUtf8());
    WriteFile(PendingFolder() + QStringLiteral("log0.txt"), "older");
    LogEvent(QString(20000, u'x'));

    bool raised = false;
    {
        const ScopedFileSizeLimit limit(8192);
        try {
            SendLog();
        } catch (const Exception&) {
            raised = true;
        }
    }

    EXPECT_TRUE(raised);
    EXPECT_EQ(GetLog().size(), 1);
    EXPECT_THAT(Entries(PendingFolder()), ElementsAre(QStringLiteral("log0.txt")));
    EXPECT_EQ(ReadFile(PendingFolder() + QStringLiteral("log0.txt")), "older");
}

TEST_F(UsageLogTest, UnreadablePendingFileStaysAndTheOthersAreSent)
{
    TLogServer server;
    ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
    // A link to nothing cannot be opened, whoever asks.
    const QString dangling = PendingFolder() + QStringLiteral("log0.txt");
    ASSERT_TRUE(QFile::link(PendingFolder() + QStringLiteral("gone"), dangling));
    WriteFile(PendingFolder() + QStringLiteral("log1.txt"), "open");
    SendPendingLogs();
    EXPECT_THAT(DataOf(server.Requests()), ElementsAre("open"));
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_FALSE(QFile::exists(PendingFolder() + QStringLiteral("log1.txt")));
}

TEST_F(UsageLogTest, PendingEntriesThatAreNoFilesAreSkippedWithoutWaiting)
{
    TLogServer server;
    ScopedEnv env("QUORBEL_LOG_SERVER", server.BaseAddress().toUtf8());
    const QString folder = PendingFolder();
    struct TCase {
        const char* Name;
        std::function<bool(const QString&)> Make;
    };
    const TCase cases[] = {
        {"log0.txt", [](const QString& name) { return ::mkfifo(QFile::encodeName(name).constData(), 0600) == 0; }},
        {"log1.txt", [](const QString& name) { return QFile::link(QStringLiteral("/dev/null"), name); }},
        {"log2.txt", [](const QString& name) { return QDir().mkdir(name); }},
        {"log3.txt", [&folder](const QString& name) { return QFile::link(folder + QStringLiteral("log0.txt"), name); }},
    };
    std::unique_ptr<TPipeRescue> rescue; // for the pipe, made first
    for (const TCase& c : cases) {
        ASSERT_TRUE(c.Make(folder + QString::fromLatin1(c.Name))) << c.Name;
        if (!rescue)
            rescue = std::make_unique<TPipeRescue>(folder + QString::fromLatin1(c.Name));
        QString text = QStringLiteral("kept");
        EXPECT_THROW(ReadFileToString(folder + QString::fromLatin1(c.Name), text), Exception) << c.Name;
        EXPECT_EQ(text, QStringLiteral("kept")) << c.Name;
    }
    WriteFile(folder + QStringLiteral("log4.txt"), "open");

    SendPendingLogs();

    EXPECT_THAT(DataOf(server.Requests()), ElementsAre("open"));
    EXPECT_THAT(Entries(folder), ElementsAre(QStringLiteral("log0.txt"), QStringLiteral("log1.txt"),
                                             QStringLiteral("log2.txt"), QStringLiteral("log3.txt")));
    EXPECT_EQ(rescue->Rescues(), 0);
}

// --- waiting window --------------------------------------------------------

TEST(WaitingWindowTest, ShowsThePictureAndTheTexts)
{
    TAboutBox1 waiting;
    EXPECT_EQ(waiting.windowTitle(), QStringLiteral("shutting down / please wait"));
    EXPECT_EQ(waiting.size(), QSize(298, 78));
    EXPECT_EQ(waiting.ProductName->text(), QStringLiteral("QuorBel"));
    EXPECT_TRUE(waiting.ProductName->font().bold());
    EXPECT_EQ(waiting.Message->text(), QStringLiteral("shuting down / please wait"));
    EXPECT_FALSE(waiting.ProgramIcon->pixmap().isNull());
    EXPECT_EQ(TAboutBox1::Current(), &waiting);

    const QImage picture = ProductPicture();
    EXPECT_EQ(picture.size(), QSize(233, 177));
    EXPECT_EQ(picture.format(), QImage::Format_RGB32);
}
