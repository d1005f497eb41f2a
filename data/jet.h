#ifndef VENDRIX_DATA_JET_H_
#define VENDRIX_DATA_JET_H_

// Reading the hotel suite's Access (Jet 3, Jet 4, ACE) files through libmdb. The engine copies
// every table of such a file into a SQLite database of its own, so that SQL texts, criteria and
// finds work on it as on any other file. Nothing is ever written to an Access file.

#include <sqlite3.h>

#include <filesystem>
#include <string>

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

// Copies every user table of the Access file at `percorso` into the schema `schema` of `db`
// (already attached and empty), with declared column types the engine reads back as the field
// types of origin (texts as UTF-8, Currency exact, dates as dates). The file is read into a
// private temporary folder of the system's, or of `riserva` when that cannot be used. Throws
// Errore naming the file when it is corrupt, truncated or unreadable; never crashes or hangs on a
// damaged file. On error the schema is left as it was.
void Importa(sqlite3* db, const std::string& schema, const std::string& percorso,
             const Limiti& limiti = {}, const std::filesystem::path& riserva = {});

}  // namespace vendrix::jet

#endif  // VENDRIX_DATA_JET_H_
