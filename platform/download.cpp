#include "platform/download.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace platform {

QString WebBaseAddress() {
    QString base = qEnvironmentVariable("SUITE_WEB_BASE").trimmed();
    if (base.isEmpty()) base = QString::fromLatin1(kDefaultWebBase);
    if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
    return base;
}

QString WebAddress(const QString& path) {
    QString relative = path;
    while (relative.startsWith(QLatin1Char('/'))) relative.remove(0, 1);
    return WebBaseAddress() + relative;
}

bool DownloadUrlToFile(const QString& url, const QString& file, int timeout_ms) {
    if (!QCoreApplication::instance() || file.isEmpty() || timeout_ms <= 0) return false;
    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || address.isRelative()) return false;

    QSaveFile output(file);  // a temporary beside file, renamed over it by commit()
    if (!output.open(QIODevice::WriteOnly)) return false;

    QNetworkAccessManager manager;
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = manager.get(request);

    bool write_failed = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        const QByteArray chunk = reply->readAll();
        if (output.write(chunk) != chunk.size()) {
            write_failed = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(timeout_ms);
    if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();

    const QByteArray rest = reply->isOpen() ? reply->readAll() : QByteArray();
    if (output.write(rest) != rest.size()) write_failed = true;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool http_ok = !status.isValid() || (status.toInt() >= 200 && status.toInt() < 300);
    const bool ok = reply->error() == QNetworkReply::NoError && http_ok && !write_failed;
    delete reply;
    if (!ok) {
        output.cancelWriting();
        return false;
    }
    return output.commit();
}

}  // namespace platform
