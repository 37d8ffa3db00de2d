#include "platform/download.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <map>

namespace {

// A minimal HTTP server on 127.0.0.1 in this thread: the download's local event loop serves it.
class LocalHttpServer : public QObject {
  public:
    struct Route {
        int status = 200;
        QByteArray body;
        QByteArray location;  // for redirects
        bool silent = false;  // accept and never answer
        int missing = 0;      // announce this many bytes more than are sent, then close
    };

    static Route Answer(int status, const QByteArray& body, const QByteArray& location = {},
                        bool silent = false, int missing = 0) {
        Route route;
        route.status = status;
        route.body = body;
        route.location = location;
        route.silent = silent;
        route.missing = missing;
        return route;
    }

    LocalHttpServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    std::map<QByteArray, Route> routes;
    int requests = 0;

  private:
    void Serve(QTcpSocket* socket) {
        QByteArray& request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) return;
        ++requests;
        const QByteArray path = request.split(' ').value(1);
        request.clear();
        const auto it = routes.find(path);
        Route route = it == routes.end() ? Answer(404, "not found") : it->second;
        if (route.silent) return;
        QByteArray answer = "HTTP/1.1 " + QByteArray::number(route.status) + " X\r\n";
        if (!route.location.isEmpty()) answer += "Location: " + route.location + "\r\n";
        answer += "Content-Length: " + QByteArray::number(route.body.size() + route.missing) + "\r\n";
        answer += "Connection: close\r\n\r\n" + route.body;
        socket->write(answer);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

QByteArray Body(int size) {
    QByteArray body(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) body[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    return body;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class DownloadTest : public ::testing::Test {
  protected:
    // Names in the folder: a failed download must leave no temporary behind.
    QStringList Entries() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir m_dir;
    LocalHttpServer m_server;
};

TEST_F(DownloadTest, SuccessWritesTheWholeBody) {
    const QByteArray body = Body(300 * 1024);
    m_server.routes["/languages/taviro/zfb.jpg"] = LocalHttpServer::Answer(200, body);
    const QString target = m_dir.filePath("zfb.jpg");
    ASSERT_TRUE(platform::DownloadUrlToFile(m_server.Url("/languages/taviro/zfb.jpg"), target, 20000));
    EXPECT_EQ(ReadAll(target), body);
    EXPECT_EQ(Entries(), QStringList{"zfb.jpg"});
}

TEST_F(DownloadTest, SuccessReplacesAnEarlierCopy) {
    const QString target = m_dir.filePath("chinese.ini");
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    m_server.routes["/chinese.ini"] = LocalHttpServer::Answer(200, "[JIEMIAN]\nzzly=new\n");
    ASSERT_TRUE(platform::DownloadUrlToFile(m_server.Url("/chinese.ini"), target, 20000));
    EXPECT_EQ(ReadAll(target), QByteArray("[JIEMIAN]\nzzly=new\n"));
}

TEST_F(DownloadTest, RedirectIsFollowed) {
    m_server.routes["/old"] = LocalHttpServer::Answer(302, "", "/new");
    m_server.routes["/new"] = LocalHttpServer::Answer(200, "moved");
    const QString target = m_dir.filePath("moved.txt");
    ASSERT_TRUE(platform::DownloadUrlToFile(m_server.Url("/old"), target, 20000));
    EXPECT_EQ(ReadAll(target), QByteArray("moved"));
}

TEST_F(DownloadTest, FailuresWriteNothingAndKeepAnEarlierCopy) {
    m_server.routes["/error"] = LocalHttpServer::Answer(500, "server error");
    m_server.routes["/cut-short"] = LocalHttpServer::Answer(200, Body(1000), {}, false, 500);
    const QString fresh = m_dir.filePath("weixin.jpg");
    const QString earlier = m_dir.filePath("zfb.jpg");
    {
        QFile file(earlier);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("earlier");
    }
    for (const char* path : {"/missing", "/error", "/cut-short"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(platform::DownloadUrlToFile(m_server.Url(path), fresh, 20000));
        EXPECT_FALSE(platform::DownloadUrlToFile(m_server.Url(path), earlier, 20000));
        EXPECT_FALSE(QFile::exists(fresh));
        EXPECT_EQ(ReadAll(earlier), QByteArray("earlier"));
        EXPECT_EQ(Entries(), QStringList{"zfb.jpg"});
    }
}

TEST_F(DownloadTest, SilentServerFailsAtTheTimeout) {
    m_server.routes["/slow"] = LocalHttpServer::Answer(200, "", {}, true, 0);
    const QString target = m_dir.filePath("slow.bin");
    EXPECT_FALSE(platform::DownloadUrlToFile(m_server.Url("/slow"), target, 300));
    EXPECT_EQ(m_server.requests, 1);
    EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(DownloadTest, UnreachablePortFails) {
    quint16 port = 0;
    {
        QTcpServer closed;  // take a free port, then free it again
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    const QString target = m_dir.filePath("x.bin");
    EXPECT_FALSE(
        platform::DownloadUrlToFile(QStringLiteral("http://127.0.0.1:%1/x").arg(port), target, 5000));
    EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(DownloadTest, BadArgumentsFail) {
    m_server.routes["/ok"] = LocalHttpServer::Answer(200, "ok");
    EXPECT_FALSE(platform::DownloadUrlToFile(m_server.Url("/ok"), m_dir.filePath("no/folder/x"), 5000));
    EXPECT_FALSE(platform::DownloadUrlToFile(m_server.Url("/ok"), QString(), 5000));
    EXPECT_FALSE(platform::DownloadUrlToFile("not a url", m_dir.filePath("x"), 5000));
    EXPECT_FALSE(platform::DownloadUrlToFile(m_server.Url("/ok"), m_dir.filePath("x"), 0));
    EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(DownloadTest, LocalFileAddresses) {
    const QString source = m_dir.filePath("source.ini");
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[A]\nk=v\n");
    }
    const QString target = m_dir.filePath("copy.ini");
    ASSERT_TRUE(platform::DownloadUrlToFile(QUrl::fromLocalFile(source).toString(), target, 5000));
    EXPECT_EQ(ReadAll(target), QByteArray("[A]\nk=v\n"));
    EXPECT_FALSE(platform::DownloadUrlToFile(QUrl::fromLocalFile(m_dir.filePath("none")).toString(),
                                             m_dir.filePath("none.copy"), 5000));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("none.copy")));
}

TEST(WebBase, EnvironmentOverridesTheConstant) {
    const QByteArray old = qgetenv("SUITE_WEB_BASE");
    qunsetenv("SUITE_WEB_BASE");
    EXPECT_EQ(platform::WebBaseAddress(), QString::fromLatin1(platform::kDefaultWebBase));
    EXPECT_TRUE(platform::WebBaseAddress().endsWith('/'));
    EXPECT_EQ(platform::WebAddress("/donate.html"),
              QString::fromLatin1(platform::kDefaultWebBase) + "donate.html");
    qputenv("SUITE_WEB_BASE", "http://127.0.0.1:8080");
    EXPECT_EQ(platform::WebBaseAddress(), "http://127.0.0.1:8080/");
    EXPECT_EQ(platform::WebAddress("/languages/taviro/weixin.jpg"),
              "http://127.0.0.1:8080/languages/taviro/weixin.jpg");
    qputenv("SUITE_WEB_BASE", "http://h/base/");
    EXPECT_EQ(platform::WebAddress("donate.html"), "http://h/base/donate.html");
    qputenv("SUITE_WEB_BASE", "");
    EXPECT_EQ(platform::WebBaseAddress(), QString::fromLatin1(platform::kDefaultWebBase));
    if (old.isNull())
        qunsetenv("SUITE_WEB_BASE");
    else
        qputenv("SUITE_WEB_BASE", old);
}

}  // namespace
