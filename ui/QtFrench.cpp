#include "QtFrench.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace glebix {

QString QtTranslationsDirectory() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

bool InstallQtFrench(QCoreApplication &app, const QString &directory) {
    auto *translator = new QTranslator(&app);  // the application owns it
    if (!translator->load(QStringLiteral("qtbase_fr"), directory) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

}  // namespace glebix
