#include "comune/errore_sistema.h"

#include <cerrno>

namespace vendrix {

std::string TestoErroreSistema(int numero) {
  switch (numero) {
    case EACCES:
    case EPERM:
      return "Permesso negato";
    case ENOENT:
      return "File o cartella inesistente";
    case EEXIST:
      return "Il file esiste già";
    case ENOTDIR:
      return "Non è una cartella";
    case EISDIR:
      return "È una cartella";
    case ENOTEMPTY:
      return "Cartella non vuota";
    case ENOSPC:
      return "Spazio esaurito sul disco";
    case EDQUOT:
      return "Quota del disco superata";
    case EROFS:
      return "Disco in sola lettura";
    case EBUSY:
      return "File o risorsa in uso";
    case ETXTBSY:
      return "File in uso";
    case EXDEV:
      return "Spostamento tra dischi diversi non consentito";
    case ENAMETOOLONG:
      return "Nome del file troppo lungo";
    case ELOOP:
      return "Troppi collegamenti simbolici";
    case EMFILE:
    case ENFILE:
      return "Troppi file aperti";
    case ENOMEM:
      return "Memoria esaurita";
    case EIO:
      return "Errore di lettura o scrittura sul disco";
    case EINVAL:
      return "Argomento non valido";
    default:
      return std::generic_category().message(numero) + " (errore " + std::to_string(numero) + ")";
  }
}

std::string TestoErroreSistema(const std::error_code& errore) {
  if (errore.category() == std::generic_category() || errore.category() == std::system_category()) {
    return TestoErroreSistema(errore.value());
  }
  return errore.message();
}

}  // namespace vendrix
