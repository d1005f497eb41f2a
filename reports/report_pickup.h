#ifndef VENDRIX_REPORTS_REPORT_PICKUP_H_
#define VENDRIX_REPORTS_REPORT_PICKUP_H_

// Pickup, pace and forecast from the snapshot store: what was picked up for each coming night
// since earlier snapshots, where the night stood a year earlier at the same distance, and what
// it will end at.

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "comune/date.h"
#include "data/libri.h"

namespace vendrix {

inline constexpr int kNottiPickup = 90;
// The distances of the pickup columns, in days.
inline constexpr std::array<int, 4> kGiorniPickup = {1, 7, 14, 30};
// How many weeks of past nights the forecast averages over.
inline constexpr int kSettimanePrevisione = 8;
// The forecast is shown once the store holds this many days of snapshots and of finals.
inline constexpr int kGiorniMinimiPrevisione = 28;
// Its error is measured on this many past nights, forecast so many days before each.
inline constexpr int kNottiErrore = 28;
inline constexpr int kAnticipoErrore = 7;

// One night of the sheet "Pickup". nullopt is "n.d.".
struct NottePickup {
  Giorno notte;
  int64_t camere = 0;  // confirmed rooms on the books in the snapshot of the day
  std::array<std::optional<int64_t>, kGiorniPickup.size()> pickup;
  Valuta retta;
  std::optional<Valuta> pickup_retta_7;
  std::optional<int64_t> stesso_anticipo_ap, consuntivo_ap;
  std::optional<double> previsione, occupazione_prevista;
};

// The distances of the segments' pickup columns, in days.
inline constexpr std::array<int, 2> kGiorniPickupSegmenti = {7, 30};

// Rooms and room revenue on the books by segment over some of the coming nights, and their
// pickup over kGiorniPickupSegmenti days (nullopt without the earlier snapshot).
struct SegmentoPickup {
  std::string segmento;
  int64_t camere = 0;
  Valuta retta;
  std::array<std::optional<int64_t>, kGiorniPickupSegmenti.size()> pickup;
  std::array<std::optional<Valuta>, kGiorniPickupSegmenti.size()> pickup_retta;
};

// The mean absolute percentage error of the forecast and of the books alone on the nights
// measured (nullopt when none could be).
struct ErrorePrevisione {
  int notti = 0;
  std::optional<double> previsione, libri;
};

struct Pickup {
  Giorno giorno;
  int64_t camere_disponibili = 0;
  std::vector<NottePickup> notti;  // giorno .. giorno + kNottiPickup - 1
  // By segment for the next 7, 30 and 90 nights.
  std::array<std::vector<SegmentoPickup>, 3> segmenti;
  bool previsione_disponibile = false;
  ErrorePrevisione errore;
};

// The horizons of the total rows and of the segment blocks.
inline constexpr std::array<int, 3> kOrizzontiPickup = {7, 30, 90};

// Works pickup, pace and forecast out from `libri` for the snapshot of `giorno`; the segments in
// the order of `ordine` (as Segmenti::Elenco gives it), those it does not name after them by
// name. Throws Errore when there is no snapshot of that day.
Pickup CalcolaPickup(const ArchivioLibri& libri, Giorno giorno,
                     const std::vector<std::string>& ordine = {});

// The forecast of night `notte` as made from the snapshot of `giorno` (notte >= giorno): the
// confirmed rooms on the books plus the average, over the nights of the same weekday of the
// kSettimanePrevisione weeks before `giorno` whose final is known and that a snapshot saw at the
// same distance, of final rooms minus the rooms on the books at that distance. nullopt when no
// such night exists or `giorno` has no snapshot. `totali` and `finali` as ArchivioLibri gives
// them, covering the nights and days needed.
std::optional<double> Previsione(const std::map<Giorno, std::map<Giorno, TotaleNotte>>& totali,
                                 const std::map<Giorno, TotaleConsuntivo>& finali, Giorno giorno,
                                 Giorno notte);

// Writes REPORT_PICKUP_YYYYMMDD.xlsx (giorno's date) into `cartella_excel` (created when missing)
// from the store of `cartella_hotel`, replacing a file of that name atomically, under the
// workbook folder's lock. Returns its path. Throws Errore when the store has no snapshot of
// `giorno` or cannot be read (LibriNonValidi), or the file cannot be written.
std::string CreaReportPickup(const std::filesystem::path& cartella_hotel,
                             const std::filesystem::path& cartella_excel, Giorno giorno);

}  // namespace vendrix

#endif  // VENDRIX_REPORTS_REPORT_PICKUP_H_
