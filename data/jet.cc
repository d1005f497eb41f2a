// Temporary: replaced by the libmdb reader.
#include "data/jet.h"

#include <cstring>
#include <fstream>

#include "data/errore.h"

namespace vendrix::jet {

bool EFileJet(const std::string& percorso) {
  std::ifstream in(percorso, std::ios::binary);
  char testa[32] = {};
  if (!in.read(testa, sizeof testa)) return false;
  return std::memcmp(testa + 4, "Standard Jet DB", 15) == 0 ||
         std::memcmp(testa + 4, "Standard ACE DB", 15) == 0;
}

void Importa(sqlite3*, const std::string&, const std::string& percorso) {
  throw Errore("Impossibile leggere il database Access '" + percorso + "'");
}

}  // namespace vendrix::jet
