#ifndef VENDRIX_CALC_PORTAFOGLIO_H_
#define VENDRIX_CALC_PORTAFOGLIO_H_

#include "comune/date.h"
#include "comune/richiesta.h"
#include "comune/segmenti.h"
#include "data/portafoglio.h"

namespace vendrix {

// Works out the books of the hotel in r.cartella_hotel (history files in r.cartella_storico)
// for the nights r.dal..r.al as the hotel files stand now, with `riferimento` the last night
// counted as actual (the kinds of stay r ticks are not read):
//  - every night: the in-house guests and the guest history, counted exactly as the calculation
//    counts them with "Clienti in casa + storico"; up to `riferimento` they are the actual
//    stays (kEffettiva), after it the guests in the house until their planned departure
//    (kConfermata);
//  - the nights after `riferimento` also: the confirmed bookings (kConfermata) and, apart, the
//    optional ones (kOpzionale), as the calculation counts them.
// Each part is calculated into a store of its own in a private temporary folder
// (CartellaTemporanea), removed afterwards; the agency clean-up of VendrixFiltro.txt applies;
// agencies become segments by `segmenti`. Vendrix.mdb is neither read nor touched, and no lock is
// taken: the caller holds the hotel folder's lock as a report does. A part that cannot be worked
// out (a hotel or history file missing or unreadable) leaves its figures out and says why in
// `mancanze`; the others stand. Throws Errore only for what stops every part: a period
// RifiutoPeriodo refuses.
Portafoglio CalcolaPortafoglio(const Richiesta& r, Giorno riferimento, const Segmenti& segmenti);

}  // namespace vendrix

#endif  // VENDRIX_CALC_PORTAFOGLIO_H_
