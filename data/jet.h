#ifndef VENDRIX_DATA_JET_H_
#define VENDRIX_DATA_JET_H_

// Reading the hotel suite's Access (Jet 3, Jet 4, ACE) files through libmdb. Every table of such a
// file is copied into a SQLite file of the engine's own, which the engine then opens read-only,
// so that SQL texts, criteria and finds work on it as on any other file. Nothing is ever written
// to an Access file.

#include <filesystem>
#include <string>

#include "data/cartella_temporanea.h"

namespace vendrix::jet {

// True when the file's first bytes are those of an Access database (Jet 3, Jet 4 or ACE).
// False for any other file, also one that cannot be read.
bool EFileJet(const std::string& percorso);

// Bounds of one reading. The defaults suit any sound file; a reading that breaks one is taken for
// a damaged file.
struct Limiti {
  // Longest time the reader may go without reading a page or a row.
  int secondi_senza_dati = 30;
};

// A SQLite copy of an Access file's user tables, with declared column types the engine reads
// back as the field types of origin (texts as UTF-8, Currency exact, dates as dates), checked
// whole. It lives in a private temporary folder, which goes with the object; the file is never
// changed, and may be opened read-only and immutable.
class Copia {
 public:
  // Copies the Access file at `percorso` into a private temporary folder of the system's, or
  // of `riserva` when that cannot be used. Throws Errore naming the file when it is corrupt,
  // truncated or unreadable; never crashes or hangs on a damaged file.
  explicit Copia(const std::string& percorso, const Limiti& limiti = {},
                 const std::filesystem::path& riserva = {});
  const std::filesystem::path& Percorso() const { return percorso_; }

 private:
  CartellaTemporanea cartella_;
  std::filesystem::path percorso_;
};

}  // namespace vendrix::jet

#endif  // VENDRIX_DATA_JET_H_
