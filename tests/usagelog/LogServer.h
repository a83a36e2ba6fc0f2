#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>

#include <mutex>
#include <semaphore>
#include <utility>
#include <vector>

class QTcpServer;
class QTcpSocket;

// A loopback HTTP server of the tests' own that takes multipart form posts.
// It runs its own event loop in a thread of its own, because an upload
// blocks the thread that makes it.
class TLogServer : public QThread {
public:
    enum class TMode {
        Accept, // answers 200
        Fail,   // answers 500
        Silent  // reads the request and never answers
    };
    struct TRequest {
        QByteArray Method;
        QByteArray Path;
        QByteArray ContentType;
        std::vector<std::pair<QByteArray, QByteArray>> Fields; // in body order
        QByteArray Field(const QByteArray& name) const;
    };

    explicit TLogServer(TMode mode = TMode::Accept);
    ~TLogServer() override;

    // "http://127.0.0.1:<port>"
    QString BaseAddress() const;
    std::vector<TRequest> Requests() const;
    void SetMode(TMode mode);
    // Posts whose "data" field equals this text get a 500, whatever the mode.
    void SetRejectedData(const QByteArray& data);
    // The next count posts get a 500, whatever the mode.
    void FailNext(int count);

    // The address of a loopback port that nobody listens on.
    static QString RefusingAddress();

protected:
    void run() override;

private:
    void Serve(QTcpSocket* socket, QByteArray& buffer);

    mutable std::mutex FLock;
    TMode FMode;
    QByteArray FRejected;
    int FFailures = 0;
    std::vector<TRequest> FRequests;
    quint16 FPort = 0;
    std::binary_semaphore FReady{0};
};

// Splits a multipart/form-data body into its named fields, in order.
std::vector<std::pair<QByteArray, QByteArray>> ParseMultipart(const QByteArray& contentType,
                                                              const QByteArray& body);
