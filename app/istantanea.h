#ifndef VENDRIX_APP_ISTANTANEA_H_
#define VENDRIX_APP_ISTANTANEA_H_

// The day's snapshot of the books, taken alone (vendrix-batch istantanea) or on the way of the
// runs that read the hotel files ("Calcola", "Crea Excel", the manager's report).

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "comune/date.h"
#include "comune/interfaccia.h"
#include "comune/richiesta.h"

namespace vendrix {

// Finals recorded by every snapshot: the nights of the last week (late charges and departures
// move them), and every night since the latest final recorded, up to the last year's (all of
// them when the store has none yet), so that last year's actual is there from the first day and
// a gap between snapshots leaves no night without its final.
inline constexpr int kNottiConsuntivo = 7;
inline constexpr int kNottiPrimoConsuntivo = 366;

struct EsitoIstantanea {
  Giorno giorno;
  int64_t voci = 0;              // rows of the books recorded
  int64_t notti_consuntivo = 0;  // nights whose final was recorded
  std::string percorso;          // the store
};

// Takes the snapshot of `giorno` into the snapshot store of `cartella_libri` (created when
// missing; by default r.cartella_hotel): the books of the nights giorno .. giorno + 365 as the
// hotel files of r.cartella_hotel (history in r.cartella_storico) stand now, with the nights up to
// giorno - 1 counted as actual, and the finals of the nights before it; r's period and kinds of
// stay are not read. For `giorno` earlier than today the files must be those of that day (a
// backup): their books are recorded as that day's, and the store stays in the hotel's own folder. A
// later snapshot of the same day replaces it. Holds the hotel folder's lock shared while it reads,
// as a report does, and the store's own lock while it writes. Throws LibriNonValidi for a store
// that is not ours or is damaged (left untouched), CartellaOccupata when a calculation or another
// snapshot is running, and Errore when a hotel or history file cannot be read (nothing is recorded:
// a snapshot without part of the books would show a false pickup). Under kDelCalcolo it takes no
// lock of the hotel folder: it runs inside a calculation, which holds that lock exclusive.
enum class BloccoIstantanea { kProprio, kDelCalcolo };
EsitoIstantanea PrendiIstantanea(const Richiesta& r, Giorno giorno,
                                 const std::filesystem::path& cartella_libri = {},
                                 BloccoIstantanea blocco = BloccoIstantanea::kProprio);

// Today's snapshot on the way of another run: never fails that run. Returns nullopt when taken,
// else the reason in words for the user (also shown on `ui`'s status line).
std::optional<std::string> IstantaneaDiPassaggio(
    Interfaccia& ui, const Richiesta& r, BloccoIstantanea blocco = BloccoIstantanea::kProprio);

// The local calendar day now.
Giorno Oggi();

// The confirmed rooms picked up for each night dal..al between the snapshots of the store of
// `cartella_hotel`: in the snapshot of `oggi` against those of the day before and of 7 days
// before (nullopt when that one is missing). Empty when there is no snapshot of `oggi`, or the
// store is missing or cannot be read: the pickup is left out, nothing fails.
std::map<Giorno, std::array<std::optional<int64_t>, 2>> PickupDelleNotti(
    const std::filesystem::path& cartella_hotel, Giorno oggi, Giorno dal, Giorno al);

}  // namespace vendrix

#endif  // VENDRIX_APP_ISTANTANEA_H_
