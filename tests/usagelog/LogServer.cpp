#include "LogServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <map>
#include <memory>

namespace {

QByteArray HeaderValue(const QList<QByteArray>& lines, const QByteArray& name)
{
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

QByteArray Parameter(const QByteArray& header, const QByteArray& name)
{
    for (QByteArray item : header.split(';')) {
        item = item.trimmed();
        if (item.startsWith(name + '=')) {
            QByteArray value = item.mid(name.size() + 1);
            if (value.startsWith('"') && value.endsWith('"') && value.size() >= 2)
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return QByteArray();
}

} // namespace

QByteArray TLogServer::TRequest::Field(const QByteArray& name) const
{
    for (const auto& [key, value] : Fields) {
        if (key == name)
            return value;
    }
    return QByteArray();
}

std::vector<std::pair<QByteArray, QByteArray>> ParseMultipart(const QByteArray& contentType,
                                                              const QByteArray& body)
{
    std::vector<std::pair<QByteArray, QByteArray>> fields;
    const QByteArray boundary = Parameter(contentType, "boundary");
    if (boundary.isEmpty())
        return fields;
    const QByteArray delimiter = "--" + boundary;
    qsizetype pos = body.indexOf(delimiter);
    while (pos >= 0) {
        pos += delimiter.size();
        if (body.mid(pos, 2) == "--")
            break; // closing delimiter
        pos += 2; // CRLF after the delimiter
        const qsizetype headersEnd = body.indexOf("\r\n\r\n", pos);
        const qsizetype next = body.indexOf("\r\n" + delimiter, pos);
        if (headersEnd < 0 || next < 0 || headersEnd > next)
            break;
        const QList<QByteArray> headers = body.mid(pos, headersEnd - pos).split('\n');
        const QByteArray name = Parameter(HeaderValue(headers, "Content-Disposition"), "name");
        fields.emplace_back(name, body.mid(headersEnd + 4, next - headersEnd - 4));
        pos = next + 2;
    }
    return fields;
}

TLogServer::TLogServer(TMode mode)
    : FMode(mode)
{
    start();
    FReady.acquire();
}

TLogServer::~TLogServer()
{
    quit();
    wait();
}

QString TLogServer::BaseAddress() const
{
    std::lock_guard guard(FLock);
    return QStringLiteral("http://127.0.0.1:%1").arg(FPort);
}

std::vector<TLogServer::TRequest> TLogServer::Requests() const
{
    std::lock_guard guard(FLock);
    return FRequests;
}

void TLogServer::SetMode(TMode mode)
{
    std::lock_guard guard(FLock);
    FMode = mode;
}

void TLogServer::SetRejectedData(const QByteArray& data)
{
    std::lock_guard guard(FLock);
    FRejected = data;
}

void TLogServer::FailNext(int count)
{
    std::lock_guard guard(FLock);
    FFailures = count;
}

QString TLogServer::RefusingAddress()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

void TLogServer::run()
{
    auto server = std::make_unique<QTcpServer>();
    std::map<QTcpSocket*, QByteArray> buffers;
    if (!server->listen(QHostAddress::LocalHost, 0))
        qFatal("The test server cannot listen on a loopback port");
    QObject::connect(server.get(), &QTcpServer::newConnection, server.get(), [&] {
        while (QTcpSocket* socket = server->nextPendingConnection()) {
            buffers[socket];
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, &buffers] {
                Serve(socket, buffers[socket]);
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, &buffers] {
                buffers.erase(socket);
                socket->deleteLater();
            });
        }
    });
    {
        std::lock_guard guard(FLock);
        FPort = server->serverPort();
    }
    FReady.release();
    exec();
    // The sockets are the server's children and go with it.
    for (auto& entry : buffers)
        QObject::disconnect(entry.first, nullptr, nullptr, nullptr);
    server.reset();
}

void TLogServer::Serve(QTcpSocket* socket, QByteArray& buffer)
{
    buffer += socket->readAll();
    const qsizetype headersEnd = buffer.indexOf("\r\n\r\n");
    if (headersEnd < 0)
        return;
    const QList<QByteArray> lines = buffer.left(headersEnd).split('\n');
    const qsizetype length = HeaderValue(lines, "Content-Length").toLongLong();
    if (buffer.size() < headersEnd + 4 + length)
        return;

    TRequest request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.Method = requestLine.value(0);
    request.Path = requestLine.value(1);
    request.ContentType = HeaderValue(lines, "Content-Type");
    request.Fields = ParseMultipart(request.ContentType, buffer.mid(headersEnd + 4, length));
    buffer.remove(0, headersEnd + 4 + length);

    TMode mode;
    {
        std::lock_guard guard(FLock);
        mode = FMode;
        if (!FRejected.isEmpty() && request.Field("data") == FRejected)
            mode = TMode::Fail;
        if (FFailures > 0) {
            --FFailures;
            mode = TMode::Fail;
        }
        FRequests.push_back(request);
    }
    if (mode == TMode::Silent)
        return;
    const QByteArray body = mode == TMode::Accept ? "ok" : "failed";
    socket->write((mode == TMode::Accept ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 500 Internal Server Error\r\n")
                  + QByteArray("Content-Type: text/plain\r\nConnection: close\r\nContent-Length: ")
                  + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket->disconnectFromHost();
}
