#include "usagelog/Evaluation.h"

#include <QLocale>

namespace {

QStringList& TheLog()
{
    static QStringList log;
    return log;
}

TLogClock& TheClock()
{
    static TLogClock clock;
    return clock;
}

QDateTime Now()
{
    const TLogClock& clock = TheClock();
    return clock ? clock() : QDateTime::currentDateTime();
}

// The first character of a locale format that is no field letter: the
// separator that the user's regional settings put between the fields.
QChar SeparatorOf(const QString& format, QChar fallback)
{
    for (const QChar c : format) {
        if (!c.isLetterOrNumber() && c != u'\'' && !c.isSpace())
            return c;
    }
    return fallback;
}

QString Quoted(QChar c)
{
    return c == u'\'' ? QStringLiteral("''") : QStringLiteral("'") + c + u'\'';
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

} // namespace

void CreateLog()
{
    TheLog() = QStringList();
}

const QStringList& GetLog()
{
    return TheLog();
}

void LogEvent(const QString& code)
{
    if (code.isEmpty())
        return;
    QString cleaned = code;
    // Both characters separate lines and fields of the upload text.
    cleaned.replace(u',', u'-');
    cleaned.replace(u';', u'-');
    TheLog().append(QStringLiteral(" ") + TimeStamp(Now()) + u',' + cleaned);
}

void SetLogClock(TLogClock clock)
{
    TheClock() = std::move(clock);
}
