// The guest passes: one statistics row per guest card and night of the period, first for the
// cards of the house, then for the archived cards of the history files.

#include <exception>
#include <filesystem>
#include <future>
#include <system_error>

#include "calc/contesto.h"
#include "data/tabelle.h"

namespace vendrix {

namespace t = tabelle;

std::optional<Valore> AgenziaCliente(Recordset& ditte, int campo_ragione, const Valore& progressivo,
                                     const Valore& capo_famiglia, const Valore& capo_gruppo,
                                     double scarto) {
  const auto cerca = [&](const std::string& codice) {
    ditte.FindFirst("NumeroHotel = 1 and CodiceCliente = " + codice);
    return !ditte.NoMatch();
  };
  // A card without a usable number has no company row of its own.
  if (auto proprio = NumeroPerCriterio(progressivo); proprio && cerca(*proprio)) {
    return ditte.Fields(campo_ragione).Value();
  }
  // The "greater than 0" tests apply to the stored codes, before the offset.
  const std::optional<double> famiglia = ComeNumero(capo_famiglia);
  if (!famiglia || !(*famiglia > 0)) return std::nullopt;
  if (cerca(TestoNumero(*famiglia + scarto))) return ditte.Fields(campo_ragione).Value();
  const std::optional<double> gruppo = ComeNumero(capo_gruppo);
  if (!gruppo || !(*gruppo > 0)) return std::nullopt;
  if (cerca(TestoNumero(*gruppo + scarto))) return ditte.Fields(campo_ragione).Value();
  return Valore(" ");
}

namespace {

// ScartoAnno of an archived card: the last two digits of its arrival year, times 1000000.
// The arrival is a checked date key whenever a night is counted.
double ScartoAnno(const std::string& arrivo) {
  return ((arrivo[2] - '0') * 10 + (arrivo[3] - '0')) * 1000000.0;
}

void PassoClienti(AmbitoPasso& ambito, const SorgenteOspiti& sorgente) {
  DBEngine& motore = ambito.motore;
  std::unique_ptr<Database> db_schede, db_ditte, db_addebiti;
  std::unique_ptr<Recordset> insieme_schede, insieme_ditte, insieme_addebiti;
  // Reading the charge lines is as long as reading the cards: it is done on a thread of its own
  // meanwhile. An error is met in the order the files are read in (the history's charges first).
  const auto leggi_addebiti = [&] {
    db_addebiti = motore.OpenDatabase(sorgente.file_addebiti);
    insieme_addebiti = db_addebiti->OpenRecordset(sorgente.sql_addebiti);
  };
  std::future<void> lettura_addebiti;
  try {
    lettura_addebiti = std::async(std::launch::async, leggi_addebiti);
  } catch (const std::system_error&) {
    lettura_addebiti = std::async(std::launch::deferred, leggi_addebiti);  // no thread to be had
  }
  std::exception_ptr errore_schede;
  try {
    db_schede = motore.OpenDatabase(sorgente.file_schede);
    insieme_schede = db_schede->OpenRecordset(sorgente.sql_schede);
    db_ditte = motore.OpenDatabase(sorgente.file_ditte);
    insieme_ditte = db_ditte->OpenRecordset(t::kDittaIntestataria);
  } catch (...) {
    errore_schede = std::current_exception();
  }
  if (sorgente.storico) {
    lettura_addebiti.get();
    if (errore_schede) std::rethrow_exception(errore_schede);
  } else {
    lettura_addebiti.wait();
    if (errore_schede) std::rethrow_exception(errore_schede);
    lettura_addebiti.get();
  }
  Recordset& schede = *insieme_schede;
  Recordset& ditte = *insieme_ditte;
  Recordset& addebiti = *insieme_addebiti;
  Recordset& camere = ambito.consultazioni.camere();
  const bool storico = sorgente.storico;

  const int f_progressivo = schede.IndiceCampo(t::kNumeroProgressivo);
  const int f_nome = storico ? -1 : schede.IndiceCampo(t::kNomeCliente);
  const int f_camera = schede.IndiceCampo(t::kNumeroCamera);
  const int f_arrivo = schede.IndiceCampo(t::kDataArrivo);
  const int f_partenza = schede.IndiceCampo(t::kDataPartenza);
  const int f_componente = schede.IndiceCampo(t::kNumeroComponente);
  const int f_famiglia = schede.IndiceCampo(t::kCodiceCapoFamiglia);
  const int f_gruppo = schede.IndiceCampo(t::kCodiceCapoGruppo);
  const int f_ragione = ditte.IndiceCampo(t::kRagioneSociale);
  const int f_tipo_camera = camere.IndiceCampo(t::kTipoCamera);
  const CampiAddebito campi_addebito(addebiti, sorgente.file_addebiti, "scheda");

  const std::string kTutte = "NumeroHotel = 1";
  std::string criterio;  // of the charge lines of one card and night
  schede.FindFirst(kTutte);
  while (!schede.NoMatch()) {
    const Valore progressivo = schede.Fields(f_progressivo).Value();
    const Valore camera = schede.Fields(f_camera).Value();
    const Valore arrivo = schede.Fields(f_arrivo).Value();
    if (storico) {
      ambito.destino.Stato("Lettura scheda storico clienti n. " + TestoDi(progressivo));
    } else {
      ambito.destino.Stato("Lettura scheda cliente n. " + TestoDi(progressivo) + " " +
                           TestoDi(schede.Fields(f_nome).Value()));
    }

    // A card without a usable number matches no charge line; its nights still count.
    const std::optional<std::string> numero = NumeroPerCriterio(progressivo);
    const std::string prima =
        numero ? "NumeroHotel = 1 and CodiceCliente = " + *numero + " and " : std::string();
    const std::string dopo = " and NumeroCamera = " + Quota(TestoDi(camera));

    // The descriptive values are the same on every night of the card: they are looked up on
    // its first night in the period and kept for the others.
    std::optional<ValoriRiga> valori;
    const auto dai_valori = [&]() -> const ValoriRiga& {
      if (valori) return *valori;
      valori.emplace();
      camere.FindFirst("NumeroHotel = 1 and NumeroCamera = " + Quota(TestoDi(camera)));
      valori->tipo_camera = camere.NoMatch() ? Valore(" ") : camere.Fields(f_tipo_camera).Value();
      valori->agenzia = AgenziaCliente(
          ditte, f_ragione, progressivo, schede.Fields(f_famiglia).Value(),
          schede.Fields(f_gruppo).Value(), storico ? ScartoAnno(TestoDi(arrivo)) : 0);
      const std::optional<double> componente = ComeNumero(schede.Fields(f_componente).Value());
      if (componente && *componente == 1) valori->cam_occ = Valore(int32_t{1});
      valori->pax = Valore(int32_t{1});
      return *valori;
    };

    CamminaGiorni(ambito, arrivo, schede.Fields(f_partenza).Value(), [&](Giorno giorno) {
      criterio.assign(prima);
      AggiungiCriterioGiorno(criterio, giorno);
      criterio += dopo;
      RigaGiorno(ambito, giorno, addebiti, campi_addebito, numero ? &criterio : nullptr,
                 /*cam_occ_iniziale=*/true, dai_valori);
    });
    schede.FindNext(kTutte);
  }

  schede.Close();
  db_schede->Close();
  ditte.Close();
  db_ditte->Close();
  addebiti.Close();
  db_addebiti->Close();
}

}  // namespace

SorgenteOspiti SorgenteClientiInCasa(const Periodo& periodo) {
  const std::string al = Quota(periodo.chiave_al);
  const std::string dal = Quota(periodo.chiave_dal);
  SorgenteOspiti sorgente;
  sorgente.storico = false;
  sorgente.file_schede = t::kFileSchedaCliente;
  sorgente.file_ditte = t::kFileDittaIntestataria;
  sorgente.file_addebiti = t::kFileArrangiamento;
  sorgente.sql_schede =
      "Select * From Scheda_Cliente Where NumeroHotel = 1 and DataArrivo <= " + al +
      " and ((DataPartenza > " + dal + " and Partito = 'N') or (DataPartenzaReale > " + dal +
      " and Partito = 'S')) and NumeroCamera In (Select NumeroCamera From NumeriCamere In "
      "'NumeriCamere.mdb' Where NumeroHotel = 1 and TipoCamera In (Select Sigla From TipiCamere "
      "In 'TipiCamere.mdb' Where NumeroHotel = 1 and Tipologia = 'C')) Order by "
      "DataArrivo,NumeroCamera,NumeroProgressivo;";
  sorgente.sql_addebiti =
      "Select * From Arrangiamento Where NumeroHotel = 1 and Left(NumeroCamera,1) <> '*' and "
      "CodiceCliente In (Select NumeroProgressivo From Scheda_Cliente In 'Scheda_Cliente.mdb' "
      "Where NumeroHotel = 1 and DataArrivo <= " +
      al + " and DataPartenza > " + dal + ")";
  return sorgente;
}

SorgenteOspiti SorgenteStoricoClienti(const Periodo& periodo,
                                      const std::filesystem::path& cartella_storico) {
  const std::string al = Quota(periodo.chiave_al);
  const std::string dal = Quota(periodo.chiave_dal);
  SorgenteOspiti sorgente;
  sorgente.storico = true;
  const auto nel_storico = [&](const char* file) { return (cartella_storico / file).string(); };
  sorgente.file_schede = nel_storico(t::kFileSchedaStorico);
  sorgente.file_ditte = nel_storico(t::kFileDittaStorico);
  sorgente.file_addebiti = nel_storico(t::kFileArrangiamentoStorico);
  sorgente.sql_addebiti =
      "Select * From Arrangiamento Where NumeroHotel = 1 and Left(NumeroCamera,1) <> '*' and "
      "CodiceCliente In (Select NumeroProgressivo From Scheda_Cliente In " +
      Quota(sorgente.file_schede) + " Where NumeroHotel = 1 and DataArrivo <= " + al +
      " and DataPartenzaReale > " + dal + ")";
  sorgente.sql_schede =
      "Select * From Scheda_Cliente Where NumeroHotel = 1 and DataArrivo <= " + al +
      " and DataPartenzaReale > " + dal + " Order by DataArrivo,NumeroCamera,NumeroProgressivo;";
  return sorgente;
}

void PassoClientiInCasa(AmbitoPasso& ambito, const SorgenteOspiti& sorgente) {
  PassoClienti(ambito, sorgente);
}

void PassoStoricoClienti(AmbitoPasso& ambito, const SorgenteOspiti& sorgente) {
  PassoClienti(ambito, sorgente);
}

}  // namespace vendrix
