#include "usagelog/Evaluation.h"

#include "platform/DialogService.h"
#include "platform/Exceptions.h"
#include "platform/Random.h"
#include "platform/Settings.h"
#include "usagelog/UserDialog.h"
#include "usagelog/Waiting.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// What the unit keeps for the length of the run.
struct TEvaluationState {
    QStringList Log;
    TLogClock Clock;
    QString UserCode;
    QStringList PendingNames; // filled by ListLogFiles
};

TEvaluationState& State()
{
    static TEvaluationState state;
    return state;
}

QDateTime Now()
{
    const TLogClock& clock = State().Clock;
    return clock ? clock() : QDateTime::currentDateTime();
}

// The first character of a locale format that is no field letter: the
// separator that the user's regional settings put between the fields. A
// comma or semicolon would split the line in the upload text.
QChar SeparatorOf(const QString& format, QChar fallback)
{
    for (const QChar c : format) {
        if (!c.isLetterOrNumber() && c != u'\'' && !c.isSpace())
            return c == u',' || c == u';' ? fallback : c;
    }
    return fallback;
}

// SeparatorOf never gives a quote, so quoting the separator is enough.
QString Quoted(QChar c)
{
    return QStringLiteral("'") + c + u'\'';
}

// "dd/mm/yy hh:nn:ss.zzz" with the locale's date and time separators.
QString TimeStamp(const QDateTime& time)
{
    const QLocale locale;
    const QString date = Quoted(SeparatorOf(locale.dateFormat(QLocale::ShortFormat), u'/'));
    const QString clock = Quoted(SeparatorOf(locale.timeFormat(QLocale::ShortFormat), u':'));
    const QString format = QStringLiteral("dd") + date + QStringLiteral("MM") + date
        + QStringLiteral("yy hh") + clock + QStringLiteral("mm") + clock
        + QStringLiteral("ss.zzz");
    return time.toString(format);
}

const QString UploadPath = QStringLiteral("/quorbel_log/getdata.php");
// A dead or silent server must not hold the closing of the main window for
// long: the upload blocks the user-interface thread.
constexpr long DefaultConnectTimeoutMs = 5000;
constexpr long DefaultTimeoutMs = 15000;

const QString StudyContact = QStringLiteral("Das Quorbel-Team");

QString WithSlash(const QString& folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

long TimeoutSetting(const TSettings& settings, const QString& name, long fallback)
{
    bool ok = false;
    const long value = settings.ReadString(name).trimmed().toLong(&ok);
    return ok && value > 0 ? value : fallback;
}

// The upload's address: the server's base address from the environment or
// the settings, plus the fixed path. Empty when no server is configured: then
// every upload fails and the logs wait as pending files.
QString UploadUrl(const TSettings& settings)
{
    QString base = qEnvironmentVariable("QUORBEL_LOG_SERVER").trimmed();
    if (base.isEmpty())
        base = settings.ReadString(QStringLiteral("log_server")).trimmed();
    if (base.isEmpty())
        return QString();
    if (!base.contains(QStringLiteral("://")))
        base.prepend(QStringLiteral("http://"));
    while (base.endsWith(u'/'))
        base.chop(1);
    return base + UploadPath;
}

// The server's answer is of no interest; without a sink libcurl would print it.
size_t DiscardResponse(char*, size_t size, size_t count, void*)
{
    return size * count;
}

// One attempt's libcurl objects, released in the order libcurl wants.
struct TUploadRequest {
    CURL* Handle = curl_easy_init();
    curl_mime* Form = Handle ? curl_mime_init(Handle) : nullptr;
    curl_slist* Headers = nullptr;

    TUploadRequest() = default;
    TUploadRequest(const TUploadRequest&) = delete;
    TUploadRequest& operator=(const TUploadRequest&) = delete;
    ~TUploadRequest()
    {
        if (Handle)
            curl_easy_cleanup(Handle);
        curl_mime_free(Form);
        curl_slist_free_all(Headers);
    }

    bool AddField(const char* name, const QByteArray& value)
    {
        curl_mimepart* part = curl_mime_addpart(Form);
        return part && curl_mime_name(part, name) == CURLE_OK
            && curl_mime_data(part, value.constData(), static_cast<size_t>(value.size())) == CURLE_OK;
    }
};

bool CurlReady()
{
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

bool IsBlankCode(const QString& code)
{
    return code.isEmpty() || code == QStringLiteral("0") || code == QStringLiteral(" ")
        || code == QStringLiteral("  ") || code == QStringLiteral("    ");
}

// Four digits, then four capitals from A to Y.
QString RandomUserCode()
{
    QString code;
    for (int i = 0; i < 4; ++i)
        code += QChar(u'0' + Random(10));
    for (int i = 0; i < 4; ++i)
        code += QChar(u'A' + Random(25));
    return code;
}

Exception CannotCreate(const QFile& file)
{
    return Exception(QStringLiteral("Cannot create the file %1: %2").arg(file.fileName(), file.errorString()));
}

// Writes the bytes to the open file whole and closes it. A file that could
// not be written completely is removed: a truncated log must not be sent
// later as if it were whole.
void WriteWhole(QFile& file, const QByteArray& bytes)
{
    QString reason;
    if (file.write(bytes) != bytes.size() || !file.flush())
        reason = file.errorString();
    file.close();
    if (reason.isEmpty() && file.error() != QFileDevice::NoError)
        reason = file.errorString();
    if (reason.isEmpty())
        return;
    file.remove();
    throw Exception(QStringLiteral("Cannot write the file %1: %2").arg(file.fileName(), reason));
}

// Creates the next "log<n>.txt" of the folder that does not exist yet, n
// counting up from the number of entries; an earlier pending file is never
// replaced.
void WriteNewPendingFile(const QString& folder, int n, const QByteArray& bytes)
{
    constexpr int Attempts = 100000;
    for (int i = 0; i < Attempts; ++i, ++n) {
        const QString name = folder + QStringLiteral("log%1.txt").arg(n);
        if (QFileInfo::exists(name) || QFileInfo(name).isSymLink())
            continue;
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(name))
                continue; // taken meanwhile
            throw CannotCreate(file);
        }
        WriteWhole(file, bytes);
        return;
    }
    throw Exception(QStringLiteral("No free file name for the log in %1").arg(folder));
}

const QString& LogNotice()
{
    static const QString notice =
        QStringLiteral("Quorbel versucht das Logfile an den Server zu schicken. \r\n"
                       "Dieses File wird nur für die Evaluation der Software gespeichert\r\n"
                       "Bitte stellen Sie sicher, dass sie mit dem Internet verbunden sind.\r\n"
                       "Danke für Ihre Mitarbeit. ")
        + StudyContact;
    return notice;
}

} // namespace

void CreateLog()
{
    State().Log = QStringList();
}

const QStringList& GetLog()
{
    return State().Log;
}

void LogEvent(const QString& code)
{
    if (code.isEmpty())
        return;
    QString cleaned = code;
    // Both characters separate lines and fields of the upload text.
    cleaned.replace(u',', u'-');
    cleaned.replace(u';', u'-');
    State().Log.append(QStringLiteral(" ") + TimeStamp(Now()) + u',' + cleaned);
}

void SetLogClock(TLogClock clock)
{
    State().Clock = std::move(clock);
}

QString GetUserCode()
{
    return State().UserCode;
}

void SetUserCode(const QString& code)
{
    State().UserCode = code;
}

QString GetTempDirectory()
{
    return WithSlash(QDir::tempPath());
}

void WriteStringToFile(const QString& fileName, const QString& text)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw CannotCreate(file);
    WriteWhole(file, text.toUtf8());
}

void ReadFileToString(const QString& fileName, QString& text)
{
    // Opened without blocking and checked before reading: a pipe named like a
    // log would otherwise hold the closing in open() until a writer comes,
    // and a device would be read for ever.
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw Exception(QStringLiteral("Cannot open the file %1: %2")
                            .arg(fileName, QString::fromLocal8Bit(std::strerror(errno))));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw Exception(QStringLiteral("Cannot open the file %1: %2").arg(fileName, file.errorString()));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        throw Exception(QStringLiteral("Cannot read the file %1: it is not a regular file").arg(fileName));
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Cannot read the file %1: %2").arg(fileName, file.errorString()));
    text = QString::fromUtf8(bytes);
}

int ListLogFiles(const QString& folder)
{
    QStringList& names = State().PendingNames;
    names = QDir(WithSlash(folder))
                .entryList({QStringLiteral("log*")},
                           QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot
                               | QDir::CaseSensitive,
                           QDir::Unsorted);
    return static_cast<int>(names.size());
}

const QStringList& PendingLogNames()
{
    return State().PendingNames;
}

namespace {

// The time the uploads of one closing may take together: twice the time-out
// of one upload, as the README promises, however many logs are pending.
class TUploadBudget {
public:
    static TUploadBudget OfClosing(const TSettings& settings)
    {
        return TUploadBudget(2 * TimeoutSetting(settings, QStringLiteral("log_timeout_ms"), DefaultTimeoutMs));
    }
    static TUploadBudget Unlimited() { return TUploadBudget(std::numeric_limits<long>::max()); }

    long RemainingMs() const { return FRemainingMs; }
    void Spend(qint64 ms) { FRemainingMs -= long(std::min<qint64>(ms, FRemainingMs)); }

private:
    explicit TUploadBudget(long ms) : FRemainingMs(ms) {}
    long FRemainingMs;
};

// One upload within the budget; the time it took is spent. Nothing is tried
// when the budget is used up.
bool UploadLogWithin(const QString& text, TUploadBudget& budget);

// SendPendingLogs within the closing's budget. The first upload that fails
// ends the round: a server that stopped answering would otherwise hold the
// closing once for every pending log. Those left wait for the next success.
void SendPendingLogsWithin(TUploadBudget& budget);

} // namespace

bool UploadLog(const QString& text)
{
    TUploadBudget unlimited = TUploadBudget::Unlimited();
    return UploadLogWithin(text, unlimited);
}

namespace {

bool UploadLogWithin(const QString& text, TUploadBudget& budget)
{
    if (budget.RemainingMs() <= 0)
        return false;
    const TSettings settings;
    const QString url = UploadUrl(settings);
    if (url.isEmpty() || !CurlReady())
        return false;
    TUploadRequest request;
    if (!request.Handle || !request.Form)
        return false;
    if (!request.AddField("id", State().UserCode.toUtf8()) || !request.AddField("data", text.toUtf8()))
        return false;
    // The server must not hold the blocked window for a second waiting to
    // confirm the body.
    request.Headers = curl_slist_append(nullptr, "Expect:");

    CURL* h = request.Handle;
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(h, CURLOPT_URL, address.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(h, CURLOPT_MIMEPOST, request.Form);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, request.Headers);
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    const long timeout =
        std::min(budget.RemainingMs(), TimeoutSetting(settings, QStringLiteral("log_timeout_ms"), DefaultTimeoutMs));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     std::min(timeout, TimeoutSetting(settings, QStringLiteral("log_connect_timeout_ms"),
                                                      DefaultConnectTimeoutMs)));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeout);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, DiscardResponse);
    QElapsedTimer clock;
    clock.start();
    const CURLcode result = curl_easy_perform(h);
    budget.Spend(clock.elapsed());
    if (result != CURLE_OK)
        return false;
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    // Only an accepted post counts: a pending log is deleted after success.
    return status >= 200 && status < 300;
}

} // namespace

void SavePendingLog(const QString& text)
{
    TSettings settings;
    settings.WriteString(QStringLiteral("log_pending"), QStringLiteral("true"));
    QString location = settings.ReadString(QStringLiteral("log_location"));
    if (location.isEmpty()) {
        location = GetTempDirectory() + QStringLiteral("quorbel/");
        settings.WriteString(QStringLiteral("log_location"), location);
    }
    location = WithSlash(location);
    // Many systems empty the temporary folder at boot: a folder stored in an
    // earlier run may be gone, and the log must not be lost for it.
    QDir().mkpath(location);
    WriteNewPendingFile(location, ListLogFiles(location), text.toUtf8());
}

void SendPendingLogs()
{
    TUploadBudget unlimited = TUploadBudget::Unlimited();
    SendPendingLogsWithin(unlimited);
}

namespace {

void SendPendingLogsWithin(TUploadBudget& budget)
{
    TSettings settings;
    settings.WriteString(QStringLiteral("log_pending"), QStringLiteral("false"));
    QString location = settings.ReadString(QStringLiteral("log_location"));
    if (location.isEmpty())
        return;
    location = WithSlash(location);
    const QStringList names = State().PendingNames.mid(0, ListLogFiles(location));
    for (const QString& name : names) {
        const QString fileName = location + name;
        QString text;
        try {
            ReadFileToString(fileName, text);
        } catch (const Exception&) {
            continue; // unreadable now, perhaps not later, or no file at all: it stays
        }
        if (text.isEmpty())
            continue;
        if (!UploadLogWithin(text, budget))
            break;
        QFile::remove(fileName);
    }
}

} // namespace

void SendLog()
{
    std::unique_ptr<TAboutBox1> ownWindow;
    TAboutBox1* waiting = TAboutBox1::Current();
    if (!waiting) {
        ownWindow = std::make_unique<TAboutBox1>();
        waiting = ownWindow.get();
    }
    waiting->move(200, 100);
    waiting->show();
    // No events are processed until the upload is over: an incoming
    // automation call or a queued close must not run in the middle of the
    // closing. Where the window system exposes the window later, its caption
    // alone says why the program waits.
    waiting->repaint();

    const QString text = GetLog().join(u';');
    TUploadBudget budget = TUploadBudget::OfClosing(TSettings());
    bool sent = UploadLogWithin(text, budget);
    if (!sent) {
        ShowMessage(LogNotice());
        sent = UploadLogWithin(text, budget);
    }
    if (sent)
        SendPendingLogsWithin(budget);
    else
        SavePendingLog(text);
    waiting->hide();
}

QString IdentifyUser()
{
    std::unique_ptr<TUsrDialog> ownDialog;
    TUsrDialog* dialog = TUsrDialog::Current();

    TSettings settings;
    QString code = settings.ReadString(QStringLiteral("usr_id"));
    QString role = settings.ReadString(QStringLiteral("usr_type"));
    if (!settings.Readable())
        code = QStringLiteral("0");

    const auto store = [&] {
        settings.WriteString(QStringLiteral("usr_id"), code);
        settings.WriteString(QStringLiteral("usr_type"), role);
    };
    while (code == QStringLiteral("0") || code.isEmpty()) {
        if (!dialog) {
            ownDialog = std::make_unique<TUsrDialog>();
            dialog = ownDialog.get();
        }
        if (dialog->Execute()) {
            code = dialog->Code;
            role = dialog->Role;
        } else {
            code = RandomUserCode();
        }
        store();
        if (IsBlankCode(code) && role != QStringLiteral("student")) {
            code = RandomUserCode();
            store();
        }
    }
    State().UserCode = code;
    LogEvent(QStringLiteral("usrtype ") + role);
    LogEvent(QStringLiteral("usrid ") + code);
    return code;
}
