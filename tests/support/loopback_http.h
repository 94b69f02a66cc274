// A small HTTP/1.1 server on 127.0.0.1 for tests of code that asks web services: each request is
// answered by a function of the test, which may also leave it unanswered (to test time-outs).
#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct HttpRequest {
    QByteArray method;
    QByteArray target;  // path and query, as sent
    std::map<QByteArray, QByteArray> headers;  // names in lower case
};

struct HttpAnswer {
    int status = 200;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    bool hang = false;   // never answer
    bool drop = false;   // close the connection without an answer
    int cutAfter = -1;   // send this many bytes of the body, then close
};

class LoopbackHttp {
  public:
    using Handler = std::function<HttpAnswer(const HttpRequest&)>;
    explicit LoopbackHttp(Handler handler);
    ~LoopbackHttp();

    QString url() const;  // "http://127.0.0.1:PORT"
    const std::vector<HttpRequest>& requests() const { return requests_; }

  private:
    void Serve(QTcpSocket* socket);

    Handler handler_;
    QTcpServer server_;
    std::vector<HttpRequest> requests_;
    std::map<QTcpSocket*, QByteArray> pending_;
};

}  // namespace testing_support
