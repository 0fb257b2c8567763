// Qt's own French texts, so that the standard dialogs the program opens (file
// dialogs, message boxes, their buttons) read « Enregistrer », « Annuler », … like
// the rest of the program.
#pragma once

#include <QString>

class QCoreApplication;

namespace glebix {

// Where Qt keeps its translations on this system.
QString QtTranslationsDirectory();

// Installs on `app` Qt's French translations found in `directory`. Without them
// (a system that lacks them) it does nothing and says nothing: the standard dialogs
// stay in English. True when they were installed.
bool InstallQtFrench(QCoreApplication &app, const QString &directory = QtTranslationsDirectory());

}  // namespace glebix
