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

// One release of a MusicBrainz discid answer: its tracks are credited to "The Players", the
// second to "A Guest".
struct MusicBrainzRelease {
    std::string id;
    std::string album;
    std::string date;
    std::string country;
    std::vector<std::string> titles;  // one per track, in order
};

// A ws/2 discid answer (inc=recordings+artist-credits) listing `releases` for `discId`.
QByteArray MusicBrainzReply(const std::string& discId,
                            const std::vector<MusicBrainzRelease>& releases);

// The answer the look-up tests offer for a three-track disc: two releases, "First Pressing"
// (1999, GB: One, Two, Three) and "Remaster" (2004-02-02, US: Uno, Dos, Tres), with the ids given.
QByteArray TwoReleasesReply(const std::string& discId, const std::string& firstId,
                            const std::string& secondId);

}  // namespace testing_support
