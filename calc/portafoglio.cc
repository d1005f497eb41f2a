#include "calc/portafoglio.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>

#include "calc/calcolo.h"
#include "calc/contesto.h"
#include "comune/interfaccia.h"
#include "data/blocco_cartella.h"
#include "data/cartella_temporanea.h"
#include "data/dbengine.h"
#include "data/errore.h"
#include "data/tabelle.h"

namespace vendrix {

namespace {

namespace fs = std::filesystem;
namespace t = tabelle;

class Silenziosa : public Interfaccia {
 public:
  void ImpostaStato(const std::string&) override {}
  void MsgBox(const std::string&, const std::string&) override {}
};

using Chiave = std::tuple<Giorno, StatoNotte, std::string, std::string>;
using Somme = std::map<Chiave, CifreNotte>;

constexpr char kGruppi[] =
    "Select NumeroHotel,DataRif,TipoCamera,Agenzia,sum(TotRO) as TTRO,sum(TotBB) as TTBB,"
    "sum(TotHB) as TTHB,sum(TotFB) as TTFB,sum(TotSupl) as TTSupl,sum(TotRetta) as TTRe,"
    "sum(Extra) as TTEx,sum(TotCamOcc) as TTCOc,sum(TotPax) as TTPx From Vendrix "
    "Group by NumeroHotel,DataRif,TipoCamera,Agenzia";

Valuta InValuta(const Valore& v) { return v.IsNull() ? Valuta() : v.ComeValuta(); }
int64_t InIntero(const Valore& v) { return v.IsNull() ? 0 : v.Intero(); }

// Calculates `r` into a private store and adds its groups into `somme`: nights up to
// `riferimento` as `prima`, later ones as `dopo`.
void SommaParte(const fs::path& cartella, const Richiesta& r, const std::string& archivio,
                Giorno riferimento, StatoNotte prima, StatoNotte dopo, const Segmenti& segmenti,
                Somme& somme, bool storico = true) {
  Silenziosa nessuno;
  CalcolaStatisticheIn(nessuno, r, archivio, storico);
  DBEngine motore(cartella);
  auto db = motore.OpenDatabase(archivio);
  auto gruppi = db->OpenRecordset(kGruppi);
  const int f_data = gruppi->IndiceCampo(t::kDataRif);
  const int f_tipo = gruppi->IndiceCampo(t::kTipoCamera);
  const int f_agenzia = gruppi->IndiceCampo(t::kAgenzia);
  const int f[] = {
      gruppi->IndiceCampo("TTCOc"), gruppi->IndiceCampo("TTPx"), gruppi->IndiceCampo("TTRe"),
      gruppi->IndiceCampo("TTEx"),  gruppi->IndiceCampo("TTRO"), gruppi->IndiceCampo("TTBB"),
      gruppi->IndiceCampo("TTHB"),  gruppi->IndiceCampo("TTFB"), gruppi->IndiceCampo("TTSupl")};
  const std::string kTutte = "NumeroHotel = 1";
  for (gruppi->FindFirst(kTutte); !gruppi->NoMatch(); gruppi->FindNext(kTutte)) {
    const std::optional<Giorno> notte = GiornoDaChiave(TestoDi(gruppi->Fields(f_data).Value()));
    if (!notte) continue;  // the calculation writes only date keys
    const Valore agenzia = gruppi->Fields(f_agenzia).Value();
    std::optional<std::string> testo_agenzia;
    if (!agenzia.IsNull()) testo_agenzia = agenzia.Testo();
    const std::string& segmento =
        segmenti.Di(testo_agenzia ? std::optional<std::string_view>(*testo_agenzia) : std::nullopt);
    CifreNotte cifre;
    cifre.camere = InIntero(gruppi->Fields(f[0]).Value());
    cifre.ospiti = InIntero(gruppi->Fields(f[1]).Value());
    cifre.retta = InValuta(gruppi->Fields(f[2]).Value());
    cifre.extra = InValuta(gruppi->Fields(f[3]).Value());
    cifre.ro = InValuta(gruppi->Fields(f[4]).Value());
    cifre.bb = InValuta(gruppi->Fields(f[5]).Value());
    cifre.hb = InValuta(gruppi->Fields(f[6]).Value());
    cifre.fb = InValuta(gruppi->Fields(f[7]).Value());
    cifre.supplementi = InValuta(gruppi->Fields(f[8]).Value());
    const StatoNotte stato = *notte <= riferimento ? prima : dopo;
    somme[{*notte, stato, TestoDi(gruppi->Fields(f_tipo).Value()), segmento}] += cifre;
  }
  gruppi->Close();
  db->Close();
  // The store is read: it goes now rather than with the folder, freeing its space early.
  for (const char* suffisso : {"", "-journal", "-wal", "-shm"}) {
    std::error_code ignorato;
    fs::remove(archivio + suffisso, ignorato);
  }
}

// The guest cards carrying a room with a night in the period, from the files the guest passes
// read and by the same selection.
void LeggiSoggiorni(const fs::path& cartella, const Richiesta& r, bool storico,
                    std::vector<SoggiornoCamera>& soggiorni) {
  Periodo periodo;
  periodo.giorno_dal = r.dal;
  periodo.giorno_al = r.al;
  periodo.chiave_dal = ChiaveData(r.dal);
  periodo.chiave_al = ChiaveData(r.al);
  DBEngine motore(cartella);
  std::vector<SorgenteOspiti> sorgenti = {SorgenteClientiInCasa(periodo)};
  if (storico) sorgenti.push_back(SorgenteStoricoClienti(periodo, r.cartella_storico));
  for (const SorgenteOspiti& sorgente : sorgenti) {
    auto db = motore.OpenDatabase(sorgente.file_schede);
    auto schede = db->OpenRecordset(sorgente.sql_schede);
    const int f_arrivo = schede->IndiceCampo(t::kDataArrivo);
    const int f_partenza = schede->IndiceCampo(t::kDataPartenza);
    const int f_componente = schede->IndiceCampo(t::kNumeroComponente);
    const std::string kTutte = "NumeroHotel = 1";
    for (schede->FindFirst(kTutte); !schede->NoMatch(); schede->FindNext(kTutte)) {
      const std::optional<double> componente = ComeNumero(schede->Fields(f_componente).Value());
      if (!componente || *componente != 1) continue;
      const std::optional<Giorno> arrivo =
          GiornoDaChiave(TestoDi(schede->Fields(f_arrivo).Value()));
      const std::optional<Giorno> partenza =
          GiornoDaChiave(TestoDi(schede->Fields(f_partenza).Value()));
      if (!arrivo || !partenza || *partenza <= *arrivo) continue;  // no night walked
      if (*arrivo > r.al || *partenza <= r.dal) continue;
      soggiorni.push_back({*arrivo, *partenza});
    }
    schede->Close();
    db->Close();
  }
}

std::vector<std::pair<std::string, int64_t>> LeggiTipiCamere(const fs::path& cartella) {
  DBEngine motore(cartella);
  auto db = motore.OpenDatabase(t::kFileTipiCamere);
  auto tipi =
      db->OpenRecordset("Select * From TipiCamere Where NumeroHotel = 1 and Tipologia = 'C'");
  const int f_sigla = tipi->IndiceCampo(t::kSigla);
  const int f_quantita = tipi->IndiceCampo(t::kQuantita);
  std::vector<std::pair<std::string, int64_t>> elenco;
  const std::string kTutte = "NumeroHotel = 1";
  for (tipi->FindFirst(kTutte); !tipi->NoMatch(); tipi->FindNext(kTutte)) {
    elenco.emplace_back(TestoDi(tipi->Fields(f_sigla).Value()),
                        InIntero(tipi->Fields(f_quantita).Value()));
  }
  tipi->Close();
  db->Close();
  return elenco;
}

// Runs `lavoro`, turning an error into a line of `mancanze`.
template <typename Fn>
std::optional<std::string> Tenta(Fn&& lavoro) {
  try {
    lavoro();
    return std::nullopt;
  } catch (const Errore& e) {
    return std::string(e.what());
  }
}

// Why the guest history cannot be read: the first of its files that is missing.
std::optional<std::string> StoricoMancante(const fs::path& cartella, const Richiesta& r) {
  std::error_code errore;
  const fs::path storico = fs::absolute(cartella / r.cartella_storico, errore);
  for (const char* file :
       {t::kFileSchedaStorico, t::kFileDittaStorico, t::kFileArrangiamentoStorico}) {
    if (!fs::is_regular_file(storico / file, errore)) {
      return "Storico clienti non disponibile: manca il file " + (storico / file).string() + ".";
    }
  }
  return std::nullopt;
}

// The guests' part into `somme` (left empty when it fails, and the reason returned).
std::optional<std::string> ParteClienti(const fs::path& cartella, const Richiesta& clienti,
                                        const std::string& archivio, Giorno riferimento,
                                        const Segmenti& segmenti, bool storico, Somme& somme) {
  if (auto errore = Tenta([&] {
        SommaParte(cartella, clienti, archivio, riferimento, StatoNotte::kEffettiva,
                   StatoNotte::kConfermata, segmenti, somme, storico);
      })) {
    somme.clear();
    return "Clienti in casa e storico non disponibili: " + *errore;
  }
  return std::nullopt;
}

// The confirmed and, apart, the optional bookings of the nights after `riferimento` into
// `somme`, each from a store of its own in `temporanea`. Returns what could not be read.
std::vector<std::string> PartePrenotazioni(const fs::path& cartella, const Richiesta& base,
                                           Giorno riferimento, const Segmenti& segmenti,
                                           const fs::path& temporanea, Somme& somme) {
  std::vector<std::string> mancanze;
  if (riferimento >= base.al) return mancanze;
  for (bool opzionate : {false, true}) {
    Richiesta prenotazioni = base;
    prenotazioni.dal = std::max(base.dal, riferimento + std::chrono::days{1});
    prenotazioni.confermate = !opzionate;
    prenotazioni.opzionate = opzionate;
    const StatoNotte stato = opzionate ? StatoNotte::kOpzionale : StatoNotte::kConfermata;
    const std::string archivio =
        (temporanea / (opzionate ? "opzionate.mdb" : "confermate.mdb")).string();
    if (auto errore = Tenta([&] {
          SommaParte(cartella, prenotazioni, archivio, riferimento, stato, stato, segmenti, somme);
        })) {
      mancanze.push_back((opzionate ? "Prenotazioni opzionate non disponibili: "
                                    : "Prenotazioni confermate non disponibili: ") +
                         *errore);
    }
  }
  return mancanze;
}

}  // namespace

Portafoglio CalcolaPortafoglio(const Richiesta& r, Giorno riferimento, const Segmenti& segmenti) {
  if (const std::optional<std::string> rifiuto = RifiutoPeriodo(r.dal, r.al)) {
    throw Errore(*rifiuto);
  }
  const fs::path cartella = CartellaAlbergo(r.cartella_hotel);
  Portafoglio portafoglio;
  portafoglio.dal = r.dal;
  portafoglio.al = r.al;
  portafoglio.riferimento = riferimento;
  portafoglio.calcolato_il = OraLocale("%d/%m/%Y %H:%M");

  Richiesta base = r;
  base.cartella_hotel = cartella;
  base.confermate = base.opzionate = base.clienti = false;
  Richiesta clienti = base;
  clienti.clienti = true;

  // Every store of the run lives in a private folder of its own, removed at the end whatever
  // happens (and on SIGINT or SIGTERM).
  std::optional<CartellaTemporanea> temporanea;
  try {
    temporanea.emplace(cartella);
  } catch (const Errore& e) {
    portafoglio.mancanze.push_back(e.what());
    return portafoglio;
  }

  // A history that is not there leaves the in-house guests to count.
  const std::optional<std::string> senza_storico = StoricoMancante(cartella, r);
  if (senza_storico) portafoglio.mancanze.push_back(*senza_storico);

  // The guests, the longest part, on a thread of their own while the bookings, the room types
  // and the guests' stays are read here one after the other.
  Somme somme_clienti;
  const auto parte_clienti = [&] {
    return ParteClienti(cartella, clienti, (temporanea->Percorso() / "clienti.mdb").string(),
                        riferimento, segmenti, !senza_storico, somme_clienti);
  };
  std::future<std::optional<std::string>> esito_clienti;
  try {
    esito_clienti = std::async(std::launch::async, parte_clienti);
  } catch (const std::system_error&) {
    esito_clienti = std::async(std::launch::deferred, parte_clienti);  // no thread to be had
  }

  Somme somme;
  std::vector<std::string> mancanze_prenotazioni =
      PartePrenotazioni(cartella, base, riferimento, segmenti, temporanea->Percorso(), somme);
  if (auto errore = Tenta([&] { portafoglio.tipi_camere = LeggiTipiCamere(cartella); })) {
    portafoglio.mancanze.push_back("Tipi camera non disponibili: " + *errore);
  }
  std::vector<SoggiornoCamera> soggiorni;
  std::optional<std::string> errore_soggiorni =
      Tenta([&] { LeggiSoggiorni(cartella, clienti, !senza_storico, soggiorni); });
  if (auto errore = esito_clienti.get()) {
    portafoglio.mancanze.push_back(*errore);
    soggiorni.clear();  // without the guests' nights their arrivals say nothing
  } else if (errore_soggiorni) {
    soggiorni.clear();
    portafoglio.mancanze.push_back("Arrivi e partenze non disponibili: " + *errore_soggiorni);
  }
  for (std::string& m : mancanze_prenotazioni) portafoglio.mancanze.push_back(std::move(m));

  for (auto& [chiave, cifre] : somme_clienti) somme[chiave] += cifre;
  portafoglio.righe.reserve(somme.size());
  for (auto& [chiave, cifre] : somme) {
    auto& [notte, stato, tipo, segmento] = chiave;
    portafoglio.righe.push_back({notte, stato, tipo, segmento, cifre});
  }
  portafoglio.soggiorni = std::move(soggiorni);
  return portafoglio;
}

}  // namespace vendrix
