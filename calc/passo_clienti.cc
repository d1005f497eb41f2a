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

// The databases and sets a guest pass reads: its cards, their companies, their charge lines.
struct InsiemiOspiti {
  std::unique_ptr<Database> db_schede, db_ditte, db_addebiti;
  std::unique_ptr<Recordset> schede, ditte, addebiti;

  // Closes cards, companies and charge lines, in this order.
  void Chiudi() {
    schede->Close();
    db_schede->Close();
    ditte->Close();
    db_ditte->Close();
    addebiti->Close();
    db_addebiti->Close();
  }
};

// Opens the sets of `sorgente`. Reading the charge lines is as long as reading the cards: it is
// done on a thread of its own meanwhile. An error is met in the order the files are read in (the
// history's charges first).
InsiemiOspiti ApriInsiemi(DBEngine& motore, const SorgenteOspiti& sorgente) {
  InsiemiOspiti insiemi;
  const auto leggi_addebiti = [&] {
    insiemi.db_addebiti = motore.OpenDatabase(sorgente.file_addebiti);
    insiemi.addebiti = insiemi.db_addebiti->OpenRecordset(sorgente.sql_addebiti);
  };
  std::future<void> lettura_addebiti;
  try {
    lettura_addebiti = std::async(std::launch::async, leggi_addebiti);
  } catch (const std::system_error&) {
    lettura_addebiti = std::async(std::launch::deferred, leggi_addebiti);  // no thread to be had
  }
  std::exception_ptr errore_schede;
  try {
    insiemi.db_schede = motore.OpenDatabase(sorgente.file_schede);
    insiemi.schede = insiemi.db_schede->OpenRecordset(sorgente.sql_schede);
    insiemi.db_ditte = motore.OpenDatabase(sorgente.file_ditte);
    insiemi.ditte = insiemi.db_ditte->OpenRecordset(t::kDittaIntestataria);
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
  return insiemi;
}

// One guest pass over the open sets: a card at a time, a row per night of it in the period.
class PassoOspiti {
 public:
  PassoOspiti(AmbitoPasso& ambito, InsiemiOspiti& insiemi, const SorgenteOspiti& sorgente)
      : ambito_(ambito),
        schede_(*insiemi.schede),
        ditte_(*insiemi.ditte),
        addebiti_(*insiemi.addebiti),
        camere_(ambito.consultazioni.camere()),
        storico_(sorgente.storico),
        f_progressivo_(schede_.IndiceCampo(t::kNumeroProgressivo)),
        f_nome_(storico_ ? -1 : schede_.IndiceCampo(t::kNomeCliente)),
        f_camera_(schede_.IndiceCampo(t::kNumeroCamera)),
        f_arrivo_(schede_.IndiceCampo(t::kDataArrivo)),
        f_partenza_(schede_.IndiceCampo(t::kDataPartenza)),
        f_componente_(schede_.IndiceCampo(t::kNumeroComponente)),
        f_famiglia_(schede_.IndiceCampo(t::kCodiceCapoFamiglia)),
        f_gruppo_(schede_.IndiceCampo(t::kCodiceCapoGruppo)),
        f_ragione_(ditte_.IndiceCampo(t::kRagioneSociale)),
        f_tipo_camera_(camere_.IndiceCampo(t::kTipoCamera)),
        campi_addebito_(addebiti_, sorgente.file_addebiti, "scheda") {}

  // Sends the rows of every card of hotel 1 to the pass's destination.
  void Esegui() {
    const std::string kTutte = "NumeroHotel = 1";
    schede_.FindFirst(kTutte);
    while (!schede_.NoMatch()) {
      RigheScheda();
      schede_.FindNext(kTutte);
    }
  }

 private:
  // The rows of the current card, one per night of its stay in the period.
  void RigheScheda() {
    const Valore progressivo = schede_.Fields(f_progressivo_).Value();
    const Valore camera = schede_.Fields(f_camera_).Value();
    const Valore arrivo = schede_.Fields(f_arrivo_).Value();
    if (storico_) {
      ambito_.destino.Stato("Lettura scheda storico clienti n. " + TestoDi(progressivo));
    } else {
      ambito_.destino.Stato("Lettura scheda cliente n. " + TestoDi(progressivo) + " " +
                            TestoDi(schede_.Fields(f_nome_).Value()));
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
      if (!valori) ValoriScheda(valori.emplace(), progressivo, camera, arrivo);
      return *valori;
    };

    CamminaGiorni(ambito_, arrivo, schede_.Fields(f_partenza_).Value(), [&](Giorno giorno) {
      criterio_.assign(prima);
      AggiungiCriterioGiorno(criterio_, giorno);
      criterio_ += dopo;
      RigaGiorno(ambito_, giorno, addebiti_, campi_addebito_, numero ? &criterio_ : nullptr,
                 /*cam_occ_iniziale=*/true, dai_valori);
    });
  }

  // Fills `valori` with the descriptive values of the current card: its room's type, its
  // agency, a room for the first guest of the room and one guest.
  void ValoriScheda(ValoriRiga& valori, const Valore& progressivo, const Valore& camera,
                    const Valore& arrivo) {
    camere_.FindFirst("NumeroHotel = 1 and NumeroCamera = " + Quota(TestoDi(camera)));
    valori.tipo_camera = camere_.NoMatch() ? Valore(" ") : camere_.Fields(f_tipo_camera_).Value();
    valori.agenzia = AgenziaCliente(
        ditte_, f_ragione_, progressivo, schede_.Fields(f_famiglia_).Value(),
        schede_.Fields(f_gruppo_).Value(), storico_ ? ScartoAnno(TestoDi(arrivo)) : 0);
    const std::optional<double> componente = ComeNumero(schede_.Fields(f_componente_).Value());
    if (componente && *componente == 1) valori.cam_occ = Valore(int32_t{1});
    valori.pax = Valore(int32_t{1});
  }

  AmbitoPasso& ambito_;
  Recordset &schede_, &ditte_, &addebiti_, &camere_;
  const bool storico_;
  const int f_progressivo_, f_nome_, f_camera_, f_arrivo_, f_partenza_, f_componente_, f_famiglia_,
      f_gruppo_, f_ragione_, f_tipo_camera_;
  const CampiAddebito campi_addebito_;
  std::string criterio_;  // of the charge lines of one card and night
};

void PassoClienti(AmbitoPasso& ambito, const SorgenteOspiti& sorgente) {
  InsiemiOspiti insiemi = ApriInsiemi(ambito.motore, sorgente);
  PassoOspiti(ambito, insiemi, sorgente).Esegui();
  insiemi.Chiudi();
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
