#include "tests/support/loopback_http.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace testing_support {

LoopbackHttp::LoopbackHttp(Handler handler) : handler_(std::move(handler)) {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Serve(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                pending_.erase(socket);
                socket->deleteLater();
            });
        }
    });
}

LoopbackHttp::~LoopbackHttp() {
    server_.close();
    // Connections still open go first, without their handlers: the table those update goes
    // before the server that owns the connections.
    for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) {
        socket->disconnect();
        delete socket;
    }
}

QString LoopbackHttp::url() const {
    return QString("http://127.0.0.1:%1").arg(server_.serverPort());
}

void LoopbackHttp::Serve(QTcpSocket* socket) {
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.remove(0, end + 4);
    HttpRequest request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers[lines[i].left(colon).trimmed().toLower()] =
                lines[i].mid(colon + 1).trimmed();
    }
    requests_.push_back(request);
    const HttpAnswer answer = handler_(request);
    if (answer.hang) return;
    if (answer.drop) {
        socket->disconnectFromHost();
        return;
    }
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " Answer\r\n";
    for (const auto& [name, value] : answer.headers) reply += name + ": " + value + "\r\n";
    reply += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    reply += "Connection: close\r\n\r\n";
    reply += answer.cutAfter >= 0 ? answer.body.left(answer.cutAfter) : answer.body;
    socket->write(reply);
    socket->flush();
    socket->disconnectFromHost();
}

namespace {

QJsonArray Credit(const char* name) {
    return QJsonArray{QJsonObject{{"name", name}, {"joinphrase", ""}}};
}

// Every byte of `text`, an embedded zero too.
QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QByteArray MusicBrainzReply(const std::string& discId,
                            const std::vector<MusicBrainzRelease>& releases) {
    QJsonArray list;
    for (const MusicBrainzRelease& r : releases) {
        QJsonArray tracks;
        for (size_t t = 0; t < r.titles.size(); ++t)
            tracks.append(
                QJsonObject{{"position", static_cast<int>(t) + 1},
                            {"title", Utf8(r.titles[t])},
                            {"artist-credit", Credit(t == 1 ? "A Guest" : "The Players")}});
        const QJsonObject medium{{"position", 1},
                                 {"discs", QJsonArray{QJsonObject{{"id", Utf8(discId)}}}},
                                 {"tracks", tracks}};
        list.append(QJsonObject{{"id", Utf8(r.id)},
                                {"title", Utf8(r.album)},
                                {"date", Utf8(r.date)},
                                {"country", Utf8(r.country)},
                                {"artist-credit", Credit("The Players")},
                                {"media", QJsonArray{medium}}});
    }
    return QJsonDocument(QJsonObject{{"id", Utf8(discId)}, {"releases", list}}).toJson();
}

QByteArray TwoReleasesReply(const std::string& discId, const std::string& firstId,
                            const std::string& secondId) {
    return MusicBrainzReply(discId,
                            {{firstId, "First Pressing", "1999", "GB", {"One", "Two", "Three"}},
                             {secondId, "Remaster", "2004-02-02", "US", {"Uno", "Dos", "Tres"}}});
}

}  // namespace testing_support
