#ifndef VENDRIX_COMUNE_ERRORE_SISTEMA_H_
#define VENDRIX_COMUNE_ERRORE_SISTEMA_H_

// System error texts in Italian: the messages that name a file the system refused say why in
// the user's language, whatever the locale of the process.

#include <string>
#include <system_error>

namespace vendrix {

// "Permesso negato", "File o cartella inesistente", ... for the common errno values; the
// system's own text, with its number, for the rare others.
std::string TestoErroreSistema(int numero);
std::string TestoErroreSistema(const std::error_code& errore);

}  // namespace vendrix

#endif  // VENDRIX_COMUNE_ERRORE_SISTEMA_H_
