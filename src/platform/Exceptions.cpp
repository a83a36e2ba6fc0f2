#include "platform/Exceptions.h"

#include <QFileInfo>

Exception::Exception(const QString& message)
    : FMessage(message), FUtf8(message.toStdString())
{
}

void Abort()
{
    throw EAbort(QStringLiteral("Operation aborted"));
}

QString AssertionMessage(const char* text, const char* file, int line)
{
    const QString unit = QFileInfo(QString::fromUtf8(file)).completeBaseName();
    return QString::asprintf("%s (%s, line %d)", text, unit.toUtf8().constData(), line);
}

void AssertionFailed(const char* text, const char* file, int line)
{
    throw EAssertionFailed(AssertionMessage(text, file, line));
}

QString ExceptionClassName(const std::exception& e)
{
    if (auto* ours = dynamic_cast<const Exception*>(&e))
        return ours->ClassName();
    return QStringLiteral("Exception");
}

QString ExceptionMessage(const std::exception& e)
{
    if (auto* ours = dynamic_cast<const Exception*>(&e))
        return ours->Message();
    return QString::fromUtf8(e.what());
}
