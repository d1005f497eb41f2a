#include "ui/traduzioni.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vendrix {

bool CaricaTraduzioniQt(QCoreApplication& applicazione) {
  // Owned by the application, which must keep it for as long as it translates.
  auto* traduttore = new QTranslator(&applicazione);
  if (!traduttore->load(QLocale(QLocale::Italian, QLocale::Italy), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete traduttore;
    return false;
  }
  return QCoreApplication::installTranslator(traduttore);
}

}  // namespace vendrix
