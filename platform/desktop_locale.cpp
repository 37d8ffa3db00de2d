#include "platform/desktop_locale.h"

#include <QStringList>
#include <cstdlib>

namespace platform {

QString DesktopLanguage() {
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            locale = QString::fromLocal8Bit(value);
            break;
        }
    }
    const QString language = locale.section(QLatin1Char('_'), 0, 0).section(QLatin1Char('.'), 0, 0).toLower();
    static const QStringList kKnown = {"zh", "es", "de", "fr", "it", "ja"};
    return kKnown.contains(language) ? language : QStringLiteral("en");
}

}  // namespace platform
