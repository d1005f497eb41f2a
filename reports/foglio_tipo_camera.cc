// Sheet "Tipo camera": one row per room type of the hotel, over the whole period.

#include "data/tabelle.h"
#include "reports/descrizione_fogli.h"
#include "reports/fogli_report.h"

namespace vendrix {

void RiempiFoglioTipoCamera(excel::Worksheet& foglio, Recordset& gruppi, Recordset& tipi_camere,
                            const PeriodoReport& periodo) {
  const ColonneGruppi colonne(kDescrizioneTipoCamera, gruppi);
  int riga = 2;
  for (tipi_camere.FindFirst("NumeroHotel = 1"); !tipi_camere.NoMatch();
       tipi_camere.FindNext("NumeroHotel = 1")) {
    // The code as stored, not trimmed: a group matches only its exact code.
    const Valore sigla = tipi_camere.Fields(tabelle::kSigla).Value();
    const std::string criteri =
        "NumeroHotel = 1 and TipoCamera = " + Quota(sigla.IsNull() ? "" : sigla.Testo());
    const int64_t capacita = QuantitaTipo(tipi_camere) * periodo.giorni_periodo;
    ScriviRigaRiepilogo(
        foglio, colonne, riga,
        excel::ValoreCella::DaCampo(tipi_camere.Fields(tabelle::kDescrizione).Value()), gruppi,
        criteri, capacita);
    ++riga;
  }
}

}  // namespace vendrix
