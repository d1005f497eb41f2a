#ifndef VENDRIX_CALC_CALCOLO_H_
#define VENDRIX_CALC_CALCOLO_H_

#include <cstdint>
#include <filesystem>
#include <functional>

#include "comune/interfaccia.h"
#include "comune/richiesta.h"

namespace vendrix {

// The "&Calcola" run: rebuilds Vendrix.mdb in r.cartella_hotel for the period r.dal..r.al from
// the hotel files of that folder (the history files of r.cartella_storico), with the kinds of
// stay r asks for; records in its table Periodo what the statistics were computed for; then
// shows the completion message through `ui`. The new statistics are built in a temporary file
// and replace Vendrix.mdb only when the whole run has succeeded: on failure it throws Errore and
// the previous Vendrix.mdb is left exactly as it was. A period RifiutoPeriodo refuses or no kind
// of stay is refused the same way, before anything is touched. The run holds the folder's lock
// exclusive from before it touches a file to its end: while another run holds it, it throws
// CartellaOccupata (kCalcoloInCorso) at once. Temporary files of killed runs are removed.
// `dopo`, when given, runs once the new store is in place, before the completion message and
// still under the lock: what it does (the snapshot of the books) is part of this run for any
// other run that finds the folder taken.
void CalcolaStatistiche(Interfaccia& ui, const Richiesta& r,
                        const std::function<void()>& dopo = {});

// The same calculation as CalcolaStatistiche, into a store of its own at `archivio` (a file of
// that name is replaced) instead of Vendrix.mdb, which is neither read nor touched; for
// statistics used once and thrown away, such as last year's beside a report. The store is not
// synced to disk. The passes' progress goes to `ui`'s status line; the agency clean-up is done
// as rows are stored, with the same result and no progress text of its own. No message is
// shown. Refuses `r` as CalcolaStatistiche does; on failure throws Errore and removes what it
// wrote at `archivio`. Returns the number of statistics rows stored.
// It takes no lock of the hotel folder: it writes nothing there unless `archivio` is there.
// With `storico` false the guest history pass is left out: with r.clienti, only the in-house
// guests are counted (for a history that cannot be read).
int64_t CalcolaStatisticheIn(Interfaccia& ui, const Richiesta& r,
                             const std::filesystem::path& archivio, bool storico = true);

}  // namespace vendrix

#endif  // VENDRIX_CALC_CALCOLO_H_
