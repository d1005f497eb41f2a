#ifndef VENDRIX_UI_TRADUZIONI_H_
#define VENDRIX_UI_TRADUZIONI_H_

// Qt's own texts in Italian: the folder chooser, the input dialog and the standard buttons come
// from Qt, in English unless its translations are loaded.

class QCoreApplication;

namespace vendrix {

// Installs in `applicazione` Qt's Italian translations (qtbase_it, from Qt's translations
// folder, where Debian's qt6-translations-l10n puts them). Returns false, leaving Qt's texts in
// English, when they are not installed.
bool CaricaTraduzioniQt(QCoreApplication& applicazione);

}  // namespace vendrix

#endif  // VENDRIX_UI_TRADUZIONI_H_
