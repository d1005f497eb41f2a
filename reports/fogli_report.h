#ifndef VENDRIX_REPORTS_FOGLI_REPORT_H_
#define VENDRIX_REPORTS_FOGLI_REPORT_H_

// The first sheets of the three workbooks of the report run, filled from the statistics store
// below the headings of their description: the grouped queries, the rows they fill and each
// sheet's walk over its groups. Used by CreaReportExcel, which drives them in order.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "comune/date.h"
#include "data/dbengine.h"
#include "reports/cartella_lavoro.h"
#include "reports/descrizione_fogli.h"

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

// The columns of a sheet that a grouped query fills, found once per sheet by heading in its
// description: each summed column with the field of the query that gives it, and the columns the
// key figures are worked out from (0 when the sheet has none).
struct ColonneGruppi {
  ColonneGruppi(const DescrizioneFoglio& descrizione, const Recordset& gruppi);
  const DescrizioneFoglio& descrizione;
  std::vector<std::pair<int, int>> somme;  // (column, field)
  int campo_camere;                        // the field of the rooms sold
  int retta, occupate, camere_agenzia, ospiti;
};

// Adds the current group of `gruppi` into the summed cells of row `riga` (an empty cell counts
// as 0, so the first group stands as it is).
void AggiungiGruppo(excel::Worksheet& foglio, const ColonneGruppi& colonne, int riga,
                    Recordset& gruppi);

// Finishes row `riga` from its sums: the amounts in Currency, then ADR, occupancy, RevPar and
// revenue per guest over `base` room nights and, where the sheet has them, the occupancy through
// agencies, the rooms left free (`base` less the rooms sold) and `base` itself. A figure whose
// divisor is 0 is 0.
void ScriviRapporti(excel::Worksheet& foglio, const ColonneGruppi& colonne, int riga, int64_t base);

// Writes one row of the daily or room-type sheet: the groups of `gruppi` that match `criteri`
// folded into one, with `prima` in column A and `base` (rooms, or room nights of a type) as the
// capacity the figures are taken over; the zero row when no group matches. Returns whether a group
// matched. The rooms sold through an agency are those of the groups with an agency, or, given
// `camere_agenzia` (groups without an agency field, whose TTCOc counts only the rows with an
// agency), those of its groups matching `criteri`.
bool ScriviRigaRiepilogo(excel::Worksheet& foglio, const ColonneGruppi& colonne, int riga,
                         const excel::ValoreCella& prima, Recordset& gruppi,
                         std::string_view criteri, int64_t base,
                         Recordset* camere_agenzia = nullptr);

// The grouped query on the statistics store that fills each sheet, run exactly as written: by day
// (sheet "Data", with the rooms sold through an agency by day beside it), by room type and agency
// ("Tipo camera"), by agency and room type ("Agenzia"). Each Riempi function below walks the set
// of its query. The daily query is not grouped by agency too: over a long period that would
// hold one group a day for each agency, and the report's memory would grow with both.
extern const std::string kGruppiPerGiorno;
extern const std::string kCamereAgenziaPerGiorno;
extern const std::string kGruppiPerTipo;
extern const std::string kGruppiPerAgenzia;

// Number of rooms of a room type: its Quantita as a whole number, 0 when it is empty.
int64_t QuantitaTipo(Recordset& tipi_camere);

// Sheet "Data", its headings written: one row per day of the period, from `gruppi`
// (kGruppiPerGiorno) and `camere_agenzia` (kCamereAgenziaPerGiorno); the day in column A as a date.
// Returns the first and last day with statistics.
NottiConStatistiche RiempiFoglioData(excel::Worksheet& foglio, Recordset& gruppi,
                                     Recordset& camere_agenzia, const PeriodoReport& periodo);

// Sheet "Tipo camera", its headings written: one row per room type of `tipi_camere`, from `gruppi`,
// the statistics grouped by room type and agency.
void RiempiFoglioTipoCamera(excel::Worksheet& foglio, Recordset& gruppi, Recordset& tipi_camere,
                            const PeriodoReport& periodo);

// Sheet "Agenzia", its headings written: one row per agency and room type with statistics, from
// `gruppi`; the room types come from `tipi_camere`.
void RiempiFoglioAgenzia(excel::Worksheet& foglio, Recordset& gruppi, Recordset& tipi_camere,
                         const PeriodoReport& periodo);

}  // namespace vendrix

#endif  // VENDRIX_REPORTS_FOGLI_REPORT_H_
