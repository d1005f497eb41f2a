#ifndef VENDRIX_REPORTS_FOGLI_REPORT_H_
#define VENDRIX_REPORTS_FOGLI_REPORT_H_

// The three sheets of the report run: how each is prepared (headings, formats, sizes) and filled
// from the statistics store. Used by CreaReportExcel, which drives them in order.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "comune/date.h"
#include "data/dbengine.h"
#include "reports/cartella_lavoro.h"

namespace vendrix {

// The first and the last day of a period that have statistics; empty when none has.
struct NottiConStatistiche {
  std::optional<Giorno> prima, ultima;
};

// What every sheet of one run knows of the period and of the hotel.
struct PeriodoReport {
  Giorno giorno_dal, giorno_al;  // both ends belong to the period
  std::string dal;               // from-date "DD/MM/YYYY"
  std::string al;                // to-date "DD/MM/YYYY"
  int64_t giorni_periodo = 0;    // days of the period, both ends included
  int64_t totale_camere = 0;     // rooms of the hotel
  // What every printed page and the summary say of the run: the hotel's name, the kinds of stay
  // counted (empty when the store does not record them) and when the workbooks were made.
  std::string hotel;
  std::string tipi_soggiorno;
  std::string creato_il;
  NottiConStatistiche notti;  // filled with the sheet "Data"
};

// Columns of the daily and room-type sheets.
namespace colonna {
inline constexpr int kPrima = 1;  // "Data" / "Tipo camera"
inline constexpr int kRO = 2;
inline constexpr int kBB = 3;
inline constexpr int kHB = 4;
inline constexpr int kFB = 5;
inline constexpr int kSupplementi = 6;
inline constexpr int kTotaleRetta = 7;
inline constexpr int kADR = 8;
inline constexpr int kOccupazione = 9;
inline constexpr int kRevPar = 10;
inline constexpr int kCamereOccupate = 11;
inline constexpr int kOccupazioneAgenzia = 12;
inline constexpr int kCamereAgenzia = 13;
inline constexpr int kCamereLibere = 14;
inline constexpr int kEntrataOspite = 15;
inline constexpr int kExtra = 16;
inline constexpr int kTotPax = 17;
}  // namespace colonna

// Writes one row of the daily or room-type sheet: the groups of `gruppi` that match `criteri`
// folded into one, with `prima` in column A and `base` (rooms, or room nights of a type) as the
// capacity the figures are taken over; the zero row when no group matches. Returns whether a group
// matched.
bool ScriviRigaRiepilogo(excel::Worksheet& foglio, int riga, const excel::ValoreCella& prima,
                         Recordset& gruppi, std::string_view criteri, int64_t base);

// The grouped query on the statistics store that fills each sheet, run exactly as written: by day
// and agency (sheet "Data"), by room type and agency ("Tipo camera"), by agency and room type
// ("Agenzia"). Each Riempi function below walks the set of its query.
extern const char* const kGruppiPerGiorno;
extern const char* const kGruppiPerTipo;
extern const char* const kGruppiPerAgenzia;

// Number of rooms of a room type: its Quantita as a whole number, 0 when it is empty.
int64_t QuantitaTipo(Recordset& tipi_camere);

// Sheet "Data": the headings, height and widths.
void PreparaFoglioData(excel::Worksheet& foglio);
// One row per day of the period, from `gruppi`, the statistics grouped by day and agency; the
// day in column A as a date. Returns the first and last day with statistics.
NottiConStatistiche RiempiFoglioData(excel::Worksheet& foglio, Recordset& gruppi,
                                     const PeriodoReport& periodo);

// Sheet "Tipo camera": headings, height and widths.
void PreparaFoglioTipoCamera(excel::Worksheet& foglio);
// One row per room type of `tipi_camere`, from `gruppi`, the statistics grouped by room type and
// agency.
void RiempiFoglioTipoCamera(excel::Worksheet& foglio, Recordset& gruppi, Recordset& tipi_camere,
                            const PeriodoReport& periodo);

// Sheet "Agenzia": headings, height and widths.
void PreparaFoglioAgenzia(excel::Worksheet& foglio);
// One row per agency and room type with statistics, from `gruppi`; the room types come from
// `tipi_camere`.
void RiempiFoglioAgenzia(excel::Worksheet& foglio, Recordset& gruppi, Recordset& tipi_camere,
                         const PeriodoReport& periodo);

}  // namespace vendrix

#endif  // VENDRIX_REPORTS_FOGLI_REPORT_H_
