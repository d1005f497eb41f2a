#ifndef VENDRIX_APP_CREA_EXCEL_CONFRONTO_H_
#define VENDRIX_APP_CREA_EXCEL_CONFRONTO_H_

// The "C&rea Excel" run with last year beside the period: the calculation of last year and the
// report put together, for the window and vendrix-batch alike.

#include <string>
#include <vector>

#include "comune/date.h"
#include "comune/interfaccia.h"
#include "comune/richiesta.h"

namespace vendrix {

// The status line while last year is worked out beside the report.
inline constexpr char kStatoConfronto[] =
    "Calcolo dell'anno precedente e creazione dei fogli Excel";

// Writes the three workbooks as CreaReportExcel does, with last year beside the period: first
// works out the statistics of r.dal..r.al one year earlier (UnAnnoPrima of both) from the hotel
// files, with confirmed bookings and in-house guests + history whatever r asks, into a temporary
// store of its own, in a private folder of the run (data/cartella_temporanea.h: in the system's
// temporary folder, else in the hotel folder) that is removed afterwards, whatever happens.
// Last year is not available when its dates would fall outside the dates a period may have. It runs on a thread of its own while the report reads this
// year's statistics, and shows no progress of its own: `ui` is only called from the caller's
// thread. Vendrix.mdb is never written. When last year cannot be worked
// out, the workbooks are written all the same and say why. The hotel folder's lock is held
// shared from the start, as the report holds it. Returns the paths written; throws as
// CreaReportExcel does, before last year is worked out when the report itself cannot be made.
// When `senza_confronto` is given, it receives why last year could not be set beside the
// period (it could not be worked out, or the hotel files hold no stay in it), empty when it was.
std::vector<std::string> CreaExcelConConfronto(Interfaccia& ui, const Richiesta& r,
                                               std::string* senza_confronto = nullptr);

}  // namespace vendrix

#endif  // VENDRIX_APP_CREA_EXCEL_CONFRONTO_H_
