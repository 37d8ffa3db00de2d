#include "launcher/suite_profile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include "launcher/xml_document.h"
#include "platform/codepage.h"
#include "platform/shell_open.h"

namespace {

QString FromUtf16(const std::u16string& text) { return QString::fromStdU16String(text); }

constexpr qint64 kAffiliateBytes = 100;

}  // namespace

SuiteProfile LoadProfile() {
    SuiteProfile profile;
    {
        CXmlDocument doc;
        if (!doc.LoadFile("Set.xml")) return profile;
        if (doc.FindChildElement(u"Profile")) {
            doc.EnterElement();
            const std::pair<const char16_t*, QString*> values[] = {
                {u"Title", &profile.title},        {u"HomePageUrl", &profile.home_page_url},
                {u"OrderUrl", &profile.order_url}, {u"Product0", &profile.product0},
                {u"Product1", &profile.product1},
            };
            for (const auto& [name, value] : values) {
                if (!doc.FindChildElement(name)) continue;
                doc.EnterElement();
                *value = FromUtf16(doc.GetAttribute(u"value"));
                doc.LeaveElement();
            }
            doc.LeaveElement();
        }
    }
    QFile affiliate(QStringLiteral("affiliate.dat"));
    if (affiliate.open(QIODevice::ReadOnly)) {
        QByteArray bytes = affiliate.read(kAffiliateBytes);
        if (!bytes.isEmpty()) {
            const qsizetype nul = bytes.indexOf('\0');
            if (nul >= 0) bytes.truncate(nul);
            profile.order_url +=
                QStringLiteral("&affiliate=") + platform::MultiByteToWide(platform::kCodePageAnsi, bytes);
        }
    }
    return profile;
}

QString BrowserCommandLine(const QString& command_template, const QString& address) {
    QString command = command_template;
    qsizetype cut = -1;
    for (const QString& placeholder :
         {QStringLiteral("\"%1\""), QStringLiteral("\"%s\""), QStringLiteral("%1"), QStringLiteral("%s")}) {
        cut = command.indexOf(placeholder);
        if (cut >= 0) break;
    }
    if (cut >= 0) command.truncate(cut);
    if (!command.isEmpty() && !command.endsWith(QLatin1Char(' '))) command += QLatin1Char(' ');
    return command + address;
}

void OpenUrl(const QString& address, const StartProcessFunction& start) {
    if (platform::ShellOpen(address) > 32) return;
    const QString browsers = QProcessEnvironment::systemEnvironment().value(QStringLiteral("BROWSER"));
    QString command_template = browsers.section(QLatin1Char(':'), 0, 0, QString::SectionSkipEmpty);
    if (command_template.isEmpty()) command_template = QStringLiteral("x-www-browser");
    QStringList parts = QProcess::splitCommand(BrowserCommandLine(command_template, address));
    if (parts.isEmpty()) return;
    const QString program = parts.takeFirst();
    start(program, parts, QString());
}

void StartTool(const QString& folder, const QString& program, const StartProcessFunction& start) {
    const QString working = QStringLiteral("./") + folder;
    start(QDir(working).absoluteFilePath(program), {}, working);
}

bool StartDetachedProcess(const QString& program, const QStringList& arguments, const QString& folder) {
    return QProcess::startDetached(program, arguments, folder);
}
