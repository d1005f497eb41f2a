#ifndef VENDRIX_APP_CREA_REPORT_DIREZIONE_H_
#define VENDRIX_APP_CREA_REPORT_DIREZIONE_H_

// The manager's report run: the books of the hotel worked out from its files, then the workbook
// REPORT_DIREZIONE_YYYYMMDD.xlsx, for the window and vendrix-batch alike.

#include <string>

#include "comune/date.h"
#include "comune/interfaccia.h"
#include "comune/richiesta.h"

namespace vendrix {

// The status line while the report is made.
inline constexpr char kStatoDirezione[] = "Creazione del report di direzione";

// Writes the manager's report of reference day `giorno` (by default IeriLocale()) into
// r.cartella_excel (taken inside r.cartella_hotel when relative): the actual stays up to `giorno`
// from the hotel files of r.cartella_hotel and r.cartella_storico, beside the same dates last year,
// and, when `giorno` is yesterday, what is on the books after it as the files stand now (of an
// earlier day the books are not known: those parts are left out with a line saying why). The kinds
// of stay and the period of r are not read. Everything is worked out into private temporary stores
// removed afterwards; Vendrix.mdb is neither read nor touched. The hotel folder's lock is held
// shared from the start, as "C&rea Excel" holds it (CartellaOccupata while a calculation runs). A
// file that is missing leaves out what needs it and the report says so. Throws Errore for a day
// that has not ended yet. Returns the path written.
std::string CreaReportDirezione(Interfaccia& ui, const Richiesta& r, Giorno giorno);

}  // namespace vendrix

#endif  // VENDRIX_APP_CREA_REPORT_DIREZIONE_H_
