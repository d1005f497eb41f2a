#ifndef VENDRIX_COMUNE_RICHIESTA_H_
#define VENDRIX_COMUNE_RICHIESTA_H_

// What a run is asked: the period, the kinds of stay to count and the folders it works in. The
// window and vendrix-batch fill it; the runs read nothing else of the user's choices and never
// the process's current folder.

#include <filesystem>
#include <string>

#include "comune/date.h"

namespace vendrix {

struct Richiesta {
  Giorno dal, al;  // both ends belong to the period
  bool confermate = true, opzionate = false, clienti = false;
  std::filesystem::path cartella_hotel;    // the hotel files, Vendrix.mdb and VendrixFiltro.txt
  std::filesystem::path cartella_storico;  // the history files: DIRSH, else cartella_hotel
  std::filesystem::path cartella_excel;    // the workbooks: by default cartella_hotel / "Excel"
};

// A request for the hotel in `cartella_hotel` with the default folders: history from the
// environment variable DIRSH when it holds more than blanks (its value used as it stands),
// else the hotel folder; workbooks in cartella_hotel / "Excel".
Richiesta NuovaRichiesta(Giorno dal, Giorno al, const std::filesystem::path& cartella_hotel);

// The kinds of stay asked, as words for messages: "prenotazioni confermate, clienti in casa +
// storico"; "nessuno" when none is.
std::string TestoTipiSoggiorno(bool confermate, bool opzionate, bool clienti);
inline std::string TestoTipiSoggiorno(const Richiesta& r) {
  return TestoTipiSoggiorno(r.confermate, r.opzionate, r.clienti);
}

// The period as words for messages: "dal 01/07/2024 al 31/07/2024".
std::string TestoPeriodo(Giorno dal, Giorno al);

// The refusal when no kind of stay is chosen.
inline constexpr char kNessunTipoSoggiorno[] = "Selezionare almeno un tipo di soggiorno";

}  // namespace vendrix

#endif  // VENDRIX_COMUNE_RICHIESTA_H_
