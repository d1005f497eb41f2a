// The bookings pass: one statistics row per booked room line and day of the period.

#include "calc/contesto.h"
#include "data/tabelle.h"

namespace vendrix {

namespace t = tabelle;

void PassoPrenotazioni(AmbitoPasso& ambito, const std::string& condizione_tipo) {
  const Periodo& p = ambito.periodo;
  const std::string al = Quota(p.chiave_al);
  const std::string dal = Quota(p.chiave_dal);

  auto db_righe = ambito.motore.OpenDatabase(t::kFileCamerePrenotazione);
  auto righe = db_righe->OpenRecordset(
      "Select * From Camere_Prenotazione Where NumeroHotel = 1 and DataArrivo <= " + al +
      " and DataPartenza > " + dal +
      " and TipoCamera In (Select Sigla From TipiCamere In 'TipiCamere.mdb' Where "
      "NumeroHotel = 1 and Tipologia = 'C') and NumeroPersone > 0;");
  auto db_schede = ambito.motore.OpenDatabase(t::kFileSchedaPrenotazione);
  auto schede = db_schede->OpenRecordset(
      "Select * From Scheda_Prenotazione Where NumeroHotel = 1 and " + condizione_tipo +
      " and NumeroPrenotazione In (Select NumeroPrenotazione From Camere_Prenotazione In "
      "'Camere_Prenotazione.mdb' Where NumeroHotel = 1 and DataArrivo <= " +
      al + " and DataPartenza > " + dal + ")");
  auto db_addebiti = ambito.motore.OpenDatabase(t::kFileArrangiamento);
  auto addebiti = db_addebiti->OpenRecordset(
      "Select * From Arrangiamento Where NumeroHotel = 1 and Left(NumeroCamera,1) = '*' and "
      "CodiceCliente In (Select NumeroPrenotazione From Camere_Prenotazione In "
      "'Camere_Prenotazione.mdb' Where NumeroHotel = 1 and DataArrivo <= " +
      al + " and DataPartenza > " + dal + ")");

  const int f_prenotazione = righe->IndiceCampo(t::kNumeroPrenotazione);
  const int f_arrivo = righe->IndiceCampo(t::kDataArrivo);
  const int f_partenza = righe->IndiceCampo(t::kDataPartenza);
  const int f_camera = righe->IndiceCampo(t::kNumeroCamera);
  const int f_tipo = righe->IndiceCampo(t::kTipoCamera);
  const int f_quantita = righe->IndiceCampo(t::kQuantitaCamere);
  const int f_persone = righe->IndiceCampo(t::kNumeroPersone);
  const int f_ditta = schede->IndiceCampo(t::kDitta);
  const CampiAddebito campi_addebito(*addebiti, t::kFileArrangiamento, "prenotazione");

  const std::string kTutte = "NumeroHotel = 1";
  std::string criterio;  // of the charge lines of one line and day
  righe->FindFirst(kTutte);
  while (!righe->NoMatch()) {
    const Valore prenotazione = righe->Fields(f_prenotazione).Value();
    // A line whose booking number is not a number has no header it could belong to.
    const std::optional<std::string> numero = NumeroPerCriterio(prenotazione);
    if (numero) schede->FindFirst("NumeroHotel = 1 and NumeroPrenotazione = " + *numero);
    if (numero && !schede->NoMatch()) {
      ambito.destino.Stato("Lettura prenotazione n. " + TestoDi(prenotazione));

      ValoriRiga valori;
      valori.tipo_camera = righe->Fields(f_tipo).Value();
      valori.agenzia = schede->Fields(f_ditta).Value();
      valori.cam_occ = righe->Fields(f_quantita).Value();
      valori.pax = righe->Fields(f_persone).Value();
      const std::string prima = "NumeroHotel = 1 and CodiceCliente = " + *numero + " and ";
      const std::string dopo =
          " and NumeroCamera = " + Quota("*" + TestoDi(righe->Fields(f_camera).Value()));

      CamminaGiorni(ambito, righe->Fields(f_arrivo).Value(), righe->Fields(f_partenza).Value(),
                    [&](Giorno giorno) {
                      criterio.assign(prima);
                      AggiungiCriterioGiorno(criterio, giorno);
                      criterio += dopo;
                      RigaGiorno(ambito, giorno, *addebiti, campi_addebito, &criterio,
                                 /*cam_occ_iniziale=*/false,
                                 [&]() -> const ValoriRiga& { return valori; });
                    });
    }
    righe->FindNext(kTutte);
  }

  righe->Close();
  db_righe->Close();
  schede->Close();
  db_schede->Close();
  addebiti->Close();
  db_addebiti->Close();
}

}  // namespace vendrix
