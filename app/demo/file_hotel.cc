#include <filesystem>
#include <string>
#include <system_error>

#include "app/demo/hotel_demo.h"
#include "app/demo/scrittura.h"
#include "comune/errore_sistema.h"
#include "data/errore.h"

namespace vendrix::demo {

namespace fs = std::filesystem;
using dettaglio::FileSqlite;
using dettaglio::TabellaHotel;

namespace {

// Removes a file left by an earlier write, with the journal SQLite may have left beside it.
void Rimuovi(const fs::path& percorso) {
  for (const fs::path& p : {percorso, fs::path(percorso.string() + "-journal")}) {
    std::error_code errore;
    fs::remove(p, errore);
    if (errore) {
      throw Errore("Impossibile sostituire il file '" + p.string() + "': " + TestoErroreSistema(errore));
    }
  }
}

}  // namespace

void CreaFileHotel(const std::string& cartella) {
  std::error_code errore;
  fs::create_directories(cartella, errore);
  if (errore) {
    throw Errore("Impossibile creare la cartella '" + cartella + "': " + TestoErroreSistema(errore));
  }
  for (const TabellaHotel& tabella : dettaglio::TabelleHotel()) {
    fs::path percorso = fs::path(cartella) / tabella.file;
    Rimuovi(percorso);
    std::string sql = "CREATE TABLE " + QuotaNome(tabella.tabella) + " (";
    for (size_t i = 0; i < tabella.campi.size(); ++i) {
      sql += (i ? ", " : "") + QuotaNome(tabella.campi[i].nome) + " " + tabella.campi[i].tipo;
    }
    sql += ")";
    FileSqlite file(percorso.string(), /*crea=*/true);
    file.Esegui(sql, std::string("creazione della tabella ") + tabella.tabella);
    file.Chiudi();
  }
}

}  // namespace vendrix::demo
