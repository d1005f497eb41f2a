#ifndef VENDRIX_DATA_ARCHIVIO_H_
#define VENDRIX_DATA_ARCHIVIO_H_

#include <optional>
#include <string>

#include "comune/date.h"
#include "data/dbengine.h"
#include "data/tabelle.h"

namespace vendrix {

// Creates the statistics store: when no file `percorso` exists, a new database there with the
// empty table Vendrix and its 13 fields in order. An existing file is left alone, untouched.
void CreaArchivio(DBEngine& motore, const std::string& percorso = tabelle::kFileVendrix);

// What the statistics of a store were computed for: the one row of its table Periodo.
struct PeriodoStatistiche {
  Giorno dal, al;
  bool confermate = false, opzionate = false, clienti = false;
  std::string creato_il;  // local time of the run, "YYYY-MM-DD HH:MM:SS"
  std::string versione;   // of the program that ran it
  friend bool operator==(const PeriodoStatistiche&, const PeriodoStatistiche&) = default;
};

// Creates table Periodo (Dal, Al: date keys; Confermate, Opzionate, Clienti: 0 or 1; CreatoIl;
// Versione) in the store `percorso` and writes its one row. Throws Errore on failure.
void ScriviPeriodo(DBEngine& motore, const std::string& percorso,
                   const PeriodoStatistiche& periodo);

// The row of table Periodo of the store `percorso`; nullopt when the store has no such table (a
// store made elsewhere, read as it is). Throws Errore when the file cannot be read or the table
// holds no row of two date keys.
std::optional<PeriodoStatistiche> LeggiPeriodo(DBEngine& motore, const std::string& percorso);

}  // namespace vendrix

#endif  // VENDRIX_DATA_ARCHIVIO_H_
