// Sheet "Agenzia": one row per agency and room type with statistics in the period.

#include "comune/testo.h"
#include "data/tabelle.h"
#include "reports/descrizione_fogli.h"
#include "reports/fogli_report.h"

namespace vendrix {

void RiempiFoglioAgenzia(excel::Worksheet& foglio, Recordset& gruppi, Recordset& tipi_camere,
                         const PeriodoReport& periodo) {
  const ColonneGruppi colonne(kDescrizioneAgenzia, gruppi);
  const int tipo_camera = kDescrizioneAgenzia.Indice("Tipo camera");
  const int campo_agenzia = gruppi.IndiceCampo(tabelle::kAgenzia);
  const int campo_tipo = gruppi.IndiceCampo(tabelle::kTipoCamera);
  int64_t riga = 2;
  for (gruppi.FindFirst("NumeroHotel = 1"); !gruppi.NoMatch(); gruppi.FindNext("NumeroHotel = 1")) {
    if (riga > excel::kMassimoRighe) {
      throw Errore("Troppe righe per il foglio \"Agenzia\": al massimo " +
                   std::to_string(excel::kMassimoRighe - 1) + " agenzie e tipi camera");
    }
    const int r = static_cast<int>(riga++);
    foglio.Cells(r, 1) = excel::ValoreCella::DaCampo(gruppi.Fields(campo_agenzia).Value());
    AggiungiGruppo(foglio, colonne, r, gruppi);
    // The room type of the group, by its code without leading and trailing spaces; a code
    // missing from the room types offers no room nights.
    const Valore tipo = gruppi.Fields(campo_tipo).Value();
    tipi_camere.FindFirst("NumeroHotel = 1 and Sigla = " +
                          Quota(SenzaSpazi(tipo.IsNull() ? "" : tipo.Testo(), kSoloSpazi)));
    const bool trovato = !tipi_camere.NoMatch();
    foglio.Cells(r, tipo_camera) = excel::ValoreCella::DaCampo(
        trovato ? tipi_camere.Fields(tabelle::kDescrizione).Value() : tipo);
    ScriviRapporti(foglio, colonne, r,
                   trovato ? QuantitaTipo(tipi_camere) * periodo.giorni_periodo : 0);
  }
}

}  // namespace vendrix
