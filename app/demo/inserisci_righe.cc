#include <filesystem>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "app/demo/scrittura.h"
#include "data/errore.h"

namespace vendrix::demo {

using dettaglio::FileSqlite;
using dettaglio::Inseritore;

namespace {

void Lega(Inseritore& insert, const Valore& valore) {
  switch (valore.Tipo()) {
    case TipoValore::kNull:
      insert.Null();
      break;
    case TipoValore::kTesto:
      insert.Testo(valore.ComeTesto());
      break;
    case TipoValore::kIntero:
    case TipoValore::kLungo:
      insert.Intero(valore.Intero());
      break;
    case TipoValore::kBooleano:
      insert.Intero(valore.Numero() != 0 ? 1 : 0);
      break;
    case TipoValore::kValuta:
      // Currency fields of the hotel files hold the amount as a plain decimal number.
      insert.Reale(valore.ComeValuta().ComeDouble());
      break;
    case TipoValore::kDoppio:
    case TipoValore::kData:  // days since 30/12/1899, as the suite counts them
      insert.Reale(valore.Numero());
      break;
  }
}

}  // namespace

void InserisciRighe(const std::string& file, const std::string& tabella,
                    const std::vector<std::string>& campi,
                    const std::vector<std::vector<Valore>>& righe) {
  // Without this check a missing file would be created empty and the error would name the table.
  if (!std::filesystem::is_regular_file(file)) {
    throw Errore("Impossibile scrivere nella tabella '" + tabella + "': il file '" + file +
                 "' non esiste");
  }
  FileSqlite db(file, /*crea=*/false);
  db.Esegui("BEGIN IMMEDIATE", "inizio della transazione sulla tabella " + tabella);
  {
    Inseritore insert(db, tabella, campi);
    for (const std::vector<Valore>& riga : righe) {
      if (riga.size() != campi.size()) {
        throw Errore("Riga di " + std::to_string(riga.size()) + " valori per " +
                     std::to_string(campi.size()) + " campi nella tabella '" + tabella +
                     "' del file '" + file + "'");
      }
      for (const Valore& valore : riga) Lega(insert, valore);
      insert.Riga();
    }
  }
  db.Esegui("COMMIT", "conferma delle righe della tabella " + tabella);
  db.Chiudi();
}

}  // namespace vendrix::demo
