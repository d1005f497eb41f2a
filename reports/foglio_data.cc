// Sheet "Data": one row per calendar day of the period.

#include "comune/date.h"
#include "reports/descrizione_fogli.h"
#include "reports/fogli_report.h"

namespace vendrix {

NottiConStatistiche RiempiFoglioData(excel::Worksheet& foglio, Recordset& gruppi,
                                     Recordset& camere_agenzia, const PeriodoReport& periodo) {
  NottiConStatistiche notti;
  const ColonneGruppi colonne(kDescrizioneData, gruppi);
  // One row per day: the count of days was checked against the sheet's rows by the caller.
  for (int64_t n = 0; n < periodo.giorni_periodo; ++n) {
    const Giorno giorno = periodo.giorno_dal + std::chrono::days{n};
    const std::string criteri = "NumeroHotel = 1 and DataRif = " + Quota(ChiaveData(giorno));
    // A real date, so that the rows sort, filter and group as dates (the column's format shows
    // it as DD/MM/YYYY).
    if (ScriviRigaRiepilogo(foglio, colonne, static_cast<int>(n + 2), SerialeData(giorno), gruppi,
                            criteri, periodo.totale_camere, &camere_agenzia)) {
      if (!notti.prima) notti.prima = giorno;
      notti.ultima = giorno;
    }
  }
  return notti;
}

}  // namespace vendrix
