// The sample hotel. The rooms are filled day by day: each free bedroom is taken by a new stay with
// a fixed daily chance, chosen so that in the long run the share of room nights sold is the one
// asked for. Rooms taken on the same day are grouped into parties (one guest, a family of rooms,
// now and then a tour group), and each party becomes, by its dates, archived guest cards, live
// guest cards or a booking, with its charge lines.

#include "app/demo/hotel_demo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/demo/scrittura.h"
#include "comune/date.h"
#include "comune/segmenti.h"
#include "data/errore.h"
#include "data/tabelle.h"

namespace vendrix::demo {

namespace fs = std::filesystem;
namespace t = vendrix::tabelle;
using dettaglio::FileSqlite;
using dettaglio::Inseritore;
using dettaglio::TabellaHotel;

namespace {

// ---- Calendar: days counted from 01/01/1970, as the program's Giorno counts them ------------

struct Data {
  int anno, mese, giorno;
};

Data DataDaGiorno(int n) {
  const std::chrono::year_month_day data{Giorno{std::chrono::days{n}}};
  return {static_cast<int>(data.year()), static_cast<int>(static_cast<unsigned>(data.month())),
          static_cast<int>(static_cast<unsigned>(data.day()))};
}

// Date key YYYYMMDD, the form of every date field of the hotel files.
std::string Chiave(int giorno) { return ChiaveData(Giorno{std::chrono::days{giorno}}); }

// A date as the program reads it; false when the text is not one.
bool LeggiData(const std::string& testo, int& giorno) {
  const std::optional<Giorno> letto = vendrix::LeggiData(testo);
  if (!letto) return false;
  giorno = static_cast<int>(letto->time_since_epoch().count());
  return true;
}

// ---- Random numbers: splitmix64, the same sequence on every platform --------------------------

class Caso {
 public:
  explicit Caso(uint64_t seme) : stato_(seme) {}

  uint64_t Prossimo() {
    uint64_t z = (stato_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 <= result < n.
  int Sotto(int n) { return static_cast<int>(Prossimo() % static_cast<uint64_t>(n)); }
  // a <= result <= b.
  int Tra(int a, int b) { return a + Sotto(b - a + 1); }
  double Reale() { return static_cast<double>(Prossimo() >> 11) * 0x1.0p-53; }
  bool Probabile(double p) { return Reale() < p; }
  // An index drawn with the given weights.
  template <size_t N>
  int Pesato(const double (&pesi)[N]) {
    double totale = 0;
    for (double p : pesi) totale += p;
    double x = Reale() * totale;
    for (size_t i = 0; i < N; ++i) {
      if (x < pesi[i]) return static_cast<int>(i);
      x -= pesi[i];
    }
    return static_cast<int>(N - 1);
  }

 private:
  uint64_t stato_;
};

// A case the sample must show even when it is small: it happens with probability p, and until
// it has happened `almeno` times it is forced on every `entro`-th chance.
class Raro {
 public:
  Raro(double p, int entro, int almeno = 1) : p_(p), entro_(entro), almeno_(almeno) {}
  bool Tocca(Caso& caso) {
    ++occasioni_;
    bool si = caso.Probabile(p_) || (volte_ < almeno_ && occasioni_ % entro_ == 0);
    if (si) ++volte_;
    return si;
  }

 private:
  double p_;
  int entro_;
  int almeno_;
  int occasioni_ = 0;
  int volte_ = 0;
};

// A weighted choice in which every option shows up: every `passo`-th draw takes the first option
// not drawn so far, if there is one.
template <size_t N>
class SceltaCoperta {
 public:
  SceltaCoperta(const double (&pesi)[N], int passo) : passo_(passo) {
    std::copy(pesi, pesi + N, pesi_);
  }
  int Scegli(Caso& caso) {
    int scelta = caso.Pesato(pesi_);
    if (++estrazioni_ % passo_ == 0) {
      for (size_t i = 0; i < N; ++i) {
        if (!visto_[i]) {
          scelta = static_cast<int>(i);
          break;
        }
      }
    }
    visto_[scelta] = true;
    return scelta;
  }

 private:
  double pesi_[N];
  bool visto_[N] = {};
  int passo_;
  int estrazioni_ = 0;
};

// ---- What the hotel sells ---------------------------------------------------------------------

struct TipoLetto {
  const char* sigla;
  const char* descrizione;
  double quota;      // share of the bedrooms
  int tariffa;       // room rate per night, in cents, before the season
  double ospiti[4];  // chance of 1, 2, 3, 4 guests in the room
};

constexpr TipoLetto kTipiLetto[] = {
    {"SGL", "Camera singola", 0.12, 7500, {1, 0, 0, 0}},
    {"DUS", "Doppia uso singola", 0.10, 9500, {1, 0, 0, 0}},
    {"DBL", "Camera doppia", 0.45, 11500, {0.12, 0.88, 0, 0}},
    {"TPL", "Camera tripla", 0.15, 14500, {0, 0.25, 0.65, 0.10}},
    {"JS", "Junior suite", 0.12, 19000, {0, 0.8, 0.2, 0}},
    {"SUI", "Suite", 0.06, 28000, {0, 0.6, 0.25, 0.15}},
};
constexpr int kNumTipiLetto = sizeof kTipiLetto / sizeof kTipiLetto[0];

// Types that are not bedrooms: they have "rooms" of their own but are never counted as sold.
constexpr const char* kForesteria = "FOR";  // staff lodging: guest cards, no bookings
constexpr const char* kSala = "SALA";       // meeting rooms: booked beside bedrooms
constexpr const char* kPostoAuto = "GAR";   // parking places: booked beside bedrooms

struct Trattamento {
  const char* sigla;
  const char* descrizione;
  const char* tipo;  // nullptr: the code is missing from NomiArrangiamenti
  int per_persona;   // cents per guest and night on top of the room
  double fattore;    // on the room rate
};

constexpr Trattamento kTrattamenti[] = {
    {"RO", "Solo pernottamento", "S", 0, 1.0},
    {"BB", "Pernottamento e prima colazione", "C", 1200, 1.0},
    {"HB", "Mezza pensione", "M", 3000, 1.0},
    {"HB1", "Mezza pensione con pranzo", "1", 2800, 1.0},
    {"FB", "Pensione completa", "P", 5000, 1.0},
    {"AI", "All inclusive", "A", 7000, 1.0},
    {"DU", "Day use", "D", 0, 0.5},  // a basis none of the four totals takes
    {"PROMO", "Offerta promozionale", nullptr, 1000, 0.85},
};
constexpr double kPesiTrattamenti[] = {0.12, 0.42, 0.18, 0.06, 0.10, 0.05, 0.04, 0.03};
constexpr int kDayUse = 6;

struct Voce {
  int codice;
  const char* descrizione;
  const char* reparto;
};

constexpr int kVoceSoggiorno = 10, kVoceGruppi = 11, kVoceDayUse = 12;
constexpr int kVocePostoAuto = 60, kVoceTransfer = 61, kVoceSala = 63, kVoceSupplementi = 70;
constexpr int kVoceMancante = 99;  // used on a few lines, missing from VociFattura

constexpr Voce kVoci[] = {
    {kVoceSoggiorno, "Soggiorno", "ARR"},
    {kVoceGruppi, "Soggiorno gruppi", "ARR"},
    {kVoceDayUse, "Day use", "ARR"},
    {20, "Bar", "BAR"},
    {21, "Minibar", "BAR"},
    {30, "Ristorante", "RIS"},
    {40, "Telefono", "TEL"},
    {50, "Lavanderia", "LAV"},
    {kVocePostoAuto, "Posto auto", "GAR"},
    {kVoceTransfer, "Transfer aeroporto", "TRA"},
    {62, "Centro benessere", "SPA"},
    {kVoceSala, "Affitto sala riunioni", "CON"},
    {kVoceSupplementi, "Supplementi", "SUP"},
    {80, "Tassa di soggiorno", ""},  // no department: an extra all the same
};

// Extras charged on single days: item (index in kVoci), cents from, cents to.
struct Extra {
  int voce;
  int da, a;
};
constexpr Extra kExtra[] = {{3, 250, 2500}, {4, 300, 1800},    {5, 2500, 12000}, {6, 100, 1500},
                            {7, 800, 3500}, {10, 3000, 15000}, {13, 150, 500}};
constexpr double kPesiExtra[] = {0.30, 0.20, 0.20, 0.05, 0.08, 0.10, 0.07};

constexpr const char* kSupplementi[] = {"SUPPL. VISTA MARE", "SUPPL. LETTO AGGIUNTO",
                                        "SUPPL. CAMERA SUPERIOR", "Culla (SUPPL.)"};

// Agencies and companies; nullptr is a field left empty (Null).
constexpr const char* kAgenzie[] = {"",
                                    nullptr,
                                    "Booking.com",
                                    "Expedia Italia",
                                    "L'Agenzia Viaggi",
                                    "Viaggi dell'Elefante",
                                    "ALFA VIAGGI SRL",
                                    "Viaggi Beta",
                                    "Hotelbeds Spain",
                                    "Rossi Costruzioni S.r.l.",
                                    "Studio Legale Bianchi & Associati",
                                    "Ferrovie Regionali S.p.A."};
constexpr double kPesiAgenzie[] = {0.30, 0.05, 0.15, 0.08, 0.07, 0.05,
                                   0.05, 0.04, 0.05, 0.06, 0.05, 0.05};
constexpr const char* kAgenzieGruppi[] = {"Alpitour S.p.A.", "Tour Operator Sole e Mare",
                                          "Gruppo Sportivo Dell'Adige", "L'Agenzia Viaggi",
                                          "Viaggi dell'Elefante"};
// Parts of the names above, for the filter file.
constexpr const char* kFiltri[] = {"Booking", "Expedia", "Viaggi dell'", "Hotelbeds", "Bianchi"};

// The sample VendrixSegmenti.txt, one "text<TAB>segment" a line.
constexpr const char* kSegmenti[] = {"Booking\tOTA",
                                     "Expedia\tOTA",
                                     "Hotelbeds\tOTA",
                                     "Alpitour\tTour operator",
                                     "Tour Operator\tTour operator",
                                     "Agenzia Viaggi\tAgenzie di viaggio",
                                     "VIAGGI\tAgenzie di viaggio",
                                     "Viaggi\tAgenzie di viaggio",
                                     "Gruppo\tGruppi",
                                     "S.p.A.\tAziende",
                                     "S.r.l.\tAziende",
                                     "Studio\tAziende"};

constexpr const char* kCognomi[] = {
    "ROSSI",    "RUSSO",  "FERRARI",  "ESPOSITO", "BIANCHI",  "ROMANO",    "COLOMBO", "RICCI",
    "MARINO",   "GRECO",  "BRUNO",    "GALLO",    "CONTI",    "DE LUCA",   "MANCINI", "COSTA",
    "GIORDANO", "RIZZO",  "LOMBARDI", "MORETTI",  "D'ANGELO", "DELL'ORTO", "SMITH",   "MÜLLER",
    "DUPONT",   "GARCIA", "SCHMIDT",  "O'BRIEN",  "NOVAK",    "JANSEN"};
constexpr const char* kNomi[] = {"MARIO",    "LUCA",  "GIULIA", "FRANCESCA", "MARCO",
                                 "ANNA",     "PAOLO", "CHIARA", "ANDREA",    "SARA",
                                 "GIOVANNI", "ELENA", "JOHN",   "ANNE",      "PETER",
                                 "MARIE",    "HANS",  "CARMEN", "NIKOLA",    "ELISA"};

// Rates follow the season (by month); demand follows the week, higher at the weekend, so that
// any run of whole weeks sells the share of nights asked for.
constexpr double kStagionePrezzi[] = {0.85, 0.85, 0.90, 1.00, 1.05, 1.20,
                                      1.35, 1.45, 1.15, 1.00, 0.85, 1.00};
constexpr double kDomandaSettimana[] = {0.95, 0.95, 1.0, 1.0, 1.2, 1.2, 0.7};  // Monday first

double Domanda(int giorno) {
  const int dal_lunedi = ((giorno + 3) % 7 + 7) % 7;  // 01/01/1970 was a Thursday
  return kDomandaSettimana[dal_lunedi];
}

// Stay lengths in nights and their weights.
constexpr int kDurate[] = {1, 2, 3, 4, 5, 6, 7, 10, 14};
constexpr double kPesiDurate[] = {22, 22, 18, 12, 8, 5, 8, 3, 2};

double DurataMedia() {
  double somma = 0, pesi = 0;
  for (size_t i = 0; i < std::size(kDurate); ++i) {
    somma += kDurate[i] * kPesiDurate[i];
    pesi += kPesiDurate[i];
  }
  return somma / pesi;
}

// ---- The tables being written -------------------------------------------------------------------

// One hotel file open for the bulk write: no journal, one transaction, one prepared INSERT of
// every field in the order of the table's layout.
class Tabella {
 public:
  Tabella(const fs::path& cartella, const char* file) {
    const TabellaHotel& layout = dettaglio::TabellaDelFile(file);
    db_ = std::make_unique<FileSqlite>((cartella / file).string(), /*crea=*/false);
    db_->Esegui("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN",
                std::string("scrittura della tabella ") + layout.tabella);
    std::vector<std::string> campi;
    for (const auto& campo : layout.campi) campi.push_back(campo.nome);
    insert_ = std::make_unique<Inseritore>(*db_, layout.tabella, campi);
    tabella_ = layout.tabella;
  }

  Inseritore& Riga() { return insert_->Intero(1); }  // NumeroHotel comes first everywhere
  int64_t Righe() const { return insert_->Righe(); }

  void Chiudi() {
    insert_.reset();
    db_->Esegui("COMMIT", "conferma della tabella " + tabella_);
    db_->Chiudi();
  }

 private:
  std::unique_ptr<FileSqlite> db_;
  std::unique_ptr<Inseritore> insert_;
  std::string tabella_;
};

// The rare cases, counted apart for each destination so that each one shows them.
struct CasiRari {
  Raro anticipata{0.06, 8};          // departed before the planned day
  Raro voce_mancante{0.004, 40};     // charge item missing from VociFattura
  Raro supplemento{0.08, 6};         // a SUPPL line
  Raro camera_dismessa{0.02, 12};    // archived card of a room no longer in the hotel
  Raro cambio_camera{0.005, 30};     // a night charged on another room
  Raro gruppo{0.02, 3, 2};           // a tour group of several rooms (two: one without company)
  Raro gruppo_senza_ditta{0.25, 1};  // a group whose leader has no company row (not the first)
  int gruppi = 0;
  Raro senza_persone{0.02, 10};   // booked line with no guests
  Raro annullata{0.04, 8};        // cancelled booking
  Raro senza_addebiti{0.03, 12};  // booked line without charge lines yet
};

struct Camera {
  std::string numero;
  std::string tipo;  // room-type code
  int letto = -1;    // index in kTipiLetto, -1 for the other types
  int libera_dal = 0;
};

struct Stanza {
  int camera;
  int partenza;
  int ospiti;
};

struct Comitiva {
  int arrivo;
  std::vector<Stanza> stanze;
  const char* ditta;
  bool gruppo = false;
  bool personale = false;
};

class ScrittoreHotel {
 public:
  ScrittoreHotel(const std::string& cartella, const OpzioniDemo& opzioni, int dal,
                 std::optional<int> vista)
      : cartella_(cartella),
        opzioni_(opzioni),
        caso_(opzioni.seme),
        dal_(dal),
        inizio_(dal - opzioni.giorni_storico),
        fine_(dal + opzioni.giorni),
        oggi_(dal + opzioni.giorni / 2),
        vista_(vista),
        oggi_vista_(vista.value_or(oggi_)) {}

  RiepilogoDemo Scrivi() {
    CreaFileHotel(cartella_.string());
    ScriviFiltro();
    ScriviSegmenti();
    tipi_ = std::make_unique<Tabella>(cartella_, t::kFileTipiCamere);
    numeri_ = std::make_unique<Tabella>(cartella_, t::kFileNumeriCamere);
    righe_pren_ = std::make_unique<Tabella>(cartella_, t::kFileCamerePrenotazione);
    schede_pren_ = std::make_unique<Tabella>(cartella_, t::kFileSchedaPrenotazione);
    schede_[0] = std::make_unique<Tabella>(cartella_, t::kFileSchedaCliente);
    ditte_[0] = std::make_unique<Tabella>(cartella_, t::kFileDittaIntestataria);
    addebiti_[0] = std::make_unique<Tabella>(cartella_, t::kFileArrangiamento);
    schede_[1] = std::make_unique<Tabella>(cartella_, t::kFileSchedaStorico);
    ditte_[1] = std::make_unique<Tabella>(cartella_, t::kFileDittaStorico);
    addebiti_[1] = std::make_unique<Tabella>(cartella_, t::kFileArrangiamentoStorico);
    Tabella voci(cartella_, t::kFileVociFattura);
    Tabella trattamenti(cartella_, t::kFileArrangiamenti);

    for (const Voce& v : kVoci)
      voci.Riga().Intero(v.codice).Testo(v.descrizione).Testo(v.reparto).Riga();
    for (const Trattamento& tr : kTrattamenti) {
      if (tr.tipo) trattamenti.Riga().Testo(tr.sigla).Testo(tr.descrizione).Testo(tr.tipo).Riga();
    }
    ScriviCamere();
    Simula();

    RiepilogoDemo r;
    r.tipi_camere = tipi_->Righe();
    r.camere = numeri_->Righe();
    r.prenotazioni = schede_pren_->Righe();
    r.righe_camere = righe_pren_->Righe();
    r.schede_clienti = schede_[0]->Righe();
    r.schede_storico = schede_[1]->Righe();
    r.ditte = ditte_[0]->Righe();
    r.ditte_storico = ditte_[1]->Righe();
    r.addebiti = addebiti_[0]->Righe();
    r.addebiti_storico = addebiti_[1]->Righe();
    r.camere_letto = static_cast<int64_t>(letto_.size());
    r.notti_vendute = notti_vendute_;
    for (Tabella* tab : {tipi_.get(), numeri_.get(), righe_pren_.get(), schede_pren_.get(),
                         schede_[0].get(), ditte_[0].get(), addebiti_[0].get(), schede_[1].get(),
                         ditte_[1].get(), addebiti_[1].get(), &voci, &trattamenti}) {
      tab->Chiudi();
    }
    return r;
  }

 private:
  void ScriviFiltro() {
    // Two or three parts of agency names, one a line, with the CR LF line ends of the suite.
    std::vector<int> scelti;
    const int quanti = caso_.Tra(2, 3);
    while (static_cast<int>(scelti.size()) < quanti) {
      int i = caso_.Sotto(static_cast<int>(std::size(kFiltri)));
      if (std::find(scelti.begin(), scelti.end(), i) == scelti.end()) scelti.push_back(i);
    }
    fs::path percorso = cartella_ / t::kFileFiltro;
    std::ofstream out(percorso, std::ios::binary | std::ios::trunc);
    for (int i : scelti) out << kFiltri[i] << "\r\n";
    out.close();
    if (!out) throw Errore("Impossibile scrivere il file '" + percorso.string() + "'");
  }

  // The sample segments: the first line whose text is in the agency's name wins, so
  // "Alpitour S.p.A." is a tour operator, not a company.
  void ScriviSegmenti() {
    fs::path percorso = cartella_ / kFileSegmenti;
    std::ofstream out(percorso, std::ios::binary | std::ios::trunc);
    for (const char* riga : kSegmenti) out << riga << "\r\n";
    out.close();
    if (!out) throw Errore("Impossibile scrivere il file '" + percorso.string() + "'");
  }

  // Room types and rooms: bedrooms numbered by floor (101, 102 ...), the lower floors for the
  // smaller types; then the staff lodging, the meeting rooms and the parking places.
  void ScriviCamere() {
    const int camere = opzioni_.camere;
    int quante[kNumTipiLetto];
    double resti[kNumTipiLetto];
    int assegnate = 0;
    for (int i = 0; i < kNumTipiLetto; ++i) {
      double esatte = camere * kTipiLetto[i].quota;
      quante[i] = static_cast<int>(esatte);
      resti[i] = esatte - quante[i];
      assegnate += quante[i];
    }
    while (assegnate < camere) {  // largest remainders first, earlier types on ties
      int migliore = 0;
      for (int i = 1; i < kNumTipiLetto; ++i) {
        if (resti[i] > resti[migliore]) migliore = i;
      }
      ++quante[migliore];
      resti[migliore] = -1;
      ++assegnate;
    }
    for (int i = 0; i < kNumTipiLetto; ++i) {
      tipi_->Riga()
          .Testo(kTipiLetto[i].sigla)
          .Testo("C")
          .Testo(kTipiLetto[i].descrizione)
          .Intero(quante[i])
          .Riga();
    }
    const int per_piano = std::clamp((camere + 7) / 8, 10, 50);
    int tipo = 0, del_tipo = 0;
    for (int n = 0; n < camere; ++n) {
      while (del_tipo == quante[tipo]) {
        ++tipo;
        del_tipo = 0;
      }
      ++del_tipo;
      Camera c;
      c.numero = std::to_string((n / per_piano + 1) * 100 + n % per_piano + 1);
      c.tipo = kTipiLetto[tipo].sigla;
      c.letto = tipo;
      letto_.push_back(static_cast<int>(camere_.size()));
      camere_.push_back(c);
    }

    struct Servizio {
      const char* sigla;
      const char* tipologia;
      const char* descrizione;
      std::vector<std::string> numeri;
    };
    std::vector<Servizio> servizi = {{kForesteria, "F", "Foresteria personale", {}},
                                     {kSala, "R", "Sala riunioni", {}},
                                     {kPostoAuto, "G", "Posto auto coperto", {}}};
    for (int i = 1; i <= 1 + camere / 150; ++i)
      servizi[0].numeri.push_back("F" + std::to_string(i));
    for (int i = 0; i < 2 + camere / 250 && i < 26; ++i) {
      servizi[1].numeri.push_back(std::string("SALA ") + static_cast<char>('A' + i));
    }
    for (int i = 1; i <= std::max(2, camere / 12); ++i) {
      servizi[2].numeri.push_back((i < 10 ? "P0" : "P") + std::to_string(i));
    }
    for (const Servizio& s : servizi) {
      tipi_->Riga()
          .Testo(s.sigla)
          .Testo(s.tipologia)
          .Testo(s.descrizione)
          .Intero(static_cast<int64_t>(s.numeri.size()))
          .Riga();
      for (const std::string& numero : s.numeri) {
        if (std::string_view(s.sigla) == kForesteria)
          foresteria_.push_back(static_cast<int>(camere_.size()));
        camere_.push_back(Camera{numero, s.sigla, -1, 0});
      }
    }
    for (const Camera& c : camere_) numeri_->Riga().Testo(c.numero).Testo(c.tipo).Riga();
  }

  // ---- The day-by-day filling of the rooms ----

  void Simula() {
    const double occ = opzioni_.occupazione;
    const double durata = DurataMedia();
    // A free room is taken with chance p a day; with stays of mean length L it is then sold for
    // a share p L / (p L + 1 - p) of the nights, which is `occ` for this p.
    const double p = occ >= 1 ? 1.0 : occ / (durata * (1 - occ) + occ);
    const int rodaggio = 30;  // days run before the first one written, so the hotel starts full
    std::vector<int> arrivi;
    for (int giorno = inizio_ - rodaggio; giorno < fine_; ++giorno) {
      const double oggi_p = std::min(1.0, p * Domanda(giorno));
      arrivi.clear();
      for (int c : letto_) {
        if (camere_[c].libera_dal <= giorno && caso_.Probabile(oggi_p)) arrivi.push_back(c);
      }
      for (size_t i = arrivi.size(); i > 1; --i) {
        std::swap(arrivi[i - 1], arrivi[caso_.Sotto(static_cast<int>(i))]);
      }
      size_t k = 0;
      while (k < arrivi.size()) {
        const size_t resto = arrivi.size() - k;
        Comitiva comitiva;
        comitiva.arrivo = giorno;
        // Groups are counted apart for the days whose parties become archived cards, live
        // cards and bookings, so that each of them has some.
        CasiRari* rari = giorno >= inizio_ && giorno + 4 <= dal_ ? &rari_storico_
                         : giorno >= oggi_                       ? &rari_prenotazioni_
                         : giorno >= dal_                        ? &rari_schede_
                                                                 : nullptr;
        comitiva.gruppo = resto >= 3 && (rari ? rari->gruppo.Tocca(caso_) : caso_.Probabile(0.02));
        size_t stanze;
        int notti;
        if (comitiva.gruppo) {
          stanze = std::min<size_t>(resto, caso_.Tra(3, 14));
          notti = caso_.Tra(2, 4);
          comitiva.ditta = kAgenzieGruppi[caso_.Sotto(static_cast<int>(std::size(kAgenzieGruppi)))];
        } else {
          constexpr double kPesiStanze[] = {0.80, 0.15, 0.05};
          stanze = std::min<size_t>(resto, caso_.Pesato(kPesiStanze) + 1);
          // Parties mostly take rooms of one type (two doubles, not a double and a suite).
          for (size_t j = k + 1; j < k + stanze; ++j) {
            if (!caso_.Probabile(0.6)) continue;
            for (size_t m = j; m < arrivi.size(); ++m) {
              if (camere_[arrivi[m]].letto == camere_[arrivi[k]].letto) {
                std::swap(arrivi[j], arrivi[m]);
                break;
              }
            }
          }
          notti = kDurate[caso_.Pesato(kPesiDurate)];
          comitiva.ditta = kAgenzie[caso_.Pesato(kPesiAgenzie)];
        }
        for (size_t j = 0; j < stanze; ++j) {
          Stanza s{arrivi[k + j], giorno + notti, 0};
          // Now and then one room of a party leaves a day before the others.
          if (!comitiva.gruppo && stanze > 1 && notti >= 2 && caso_.Probabile(0.05)) --s.partenza;
          s.ospiti = caso_.Pesato(kTipiLetto[camere_[s.camera].letto].ospiti) + 1;
          camere_[s.camera].libera_dal = s.partenza;
          comitiva.stanze.push_back(s);
        }
        k += stanze;
        Smista(comitiva);
      }
      // Staff lodge in their rooms for weeks; they never book ahead.
      for (int c : foresteria_) {
        if (camere_[c].libera_dal > giorno || !caso_.Probabile(0.3)) continue;
        Comitiva personale{giorno, {{c, giorno + caso_.Tra(7, 35), 1}}, nullptr, false, true};
        camere_[c].libera_dal = personale.stanze[0].partenza;
        if (vista_ || giorno < oggi_) Smista(personale);
      }
    }
  }

  void Smista(const Comitiva& comitiva) {
    if (vista_) {
      SmistaVista(comitiva);
      return;
    }
    int partenza = 0;
    for (const Stanza& s : comitiva.stanze) partenza = std::max(partenza, s.partenza);
    if (partenza <= inizio_) return;  // left before the days written
    if (!comitiva.personale) {
      for (const Stanza& s : comitiva.stanze) {
        notti_vendute_ +=
            std::max(0, std::min(s.partenza, fine_) - std::max(comitiva.arrivo, dal_));
      }
    }
    if (partenza <= dal_) {
      SchedeClienti(comitiva, /*storico=*/true);
    } else if (comitiva.arrivo < oggi_) {
      SchedeClienti(comitiva, /*storico=*/false);
    } else {
      Prenotazioni(comitiva);
    }
  }

  // The party as the morning of vista_ sees it, drawn from a stream of its own (so that the
  // simulation, and every other party, is the same whatever the day seen).
  void SmistaVista(const Comitiva& comitiva) {
    const uint64_t numero = ++comitive_;
    const Caso simulazione = caso_;
    caso_ = Caso(opzioni_.seme * 0x9E3779B97F4A7C15ull + numero * 0xD1B54A32D192ED03ull);
    // Its life, drawn first: how long before arrival it was booked, whether an optional booking
    // is confirmed, and a booking of the same rooms by someone who cancels.
    constexpr int kAnticipi[][2] = {{0, 2}, {3, 14}, {15, 45}, {46, 120}};
    constexpr double kPesiAnticipi[] = {0.20, 0.35, 0.30, 0.15};
    auto anticipo = [&] {
      const int* a = kAnticipi[caso_.Pesato(kPesiAnticipi)];
      return caso_.Tra(a[0], a[1]);
    };
    const int prenotata = comitiva.arrivo - anticipo();
    const int tipo = caso_.Pesato(kPesiTipiPrenotazione);
    const int confermata = prenotata + (comitiva.arrivo - prenotata) / 2;
    const bool disdetta = !comitiva.personale && caso_.Probabile(0.12);
    const int disdetta_prenotata = comitiva.arrivo - anticipo();
    const int disdetta_il =
        disdetta_prenotata + caso_.Tra(0, std::max(0, comitiva.arrivo - disdetta_prenotata));
    const bool disdetta_opzionale = caso_.Probabile(0.4);
    const int trattamento = caso_.Pesato(kPesiTrattamenti);

    int partenza = 0;
    for (const Stanza& s : comitiva.stanze) partenza = std::max(partenza, s.partenza);
    const int giorno = *vista_;
    if (partenza > inizio_ && !comitiva.personale) {
      for (const Stanza& s : comitiva.stanze) {
        notti_vendute_ +=
            std::max(0, std::min(s.partenza, fine_) - std::max(comitiva.arrivo, dal_));
      }
    }
    if (partenza <= inizio_ || (comitiva.personale && comitiva.arrivo >= giorno)) {
      // left before the days written, or staff not yet lodged: they never book ahead
    } else if (comitiva.arrivo < giorno) {
      SchedeClienti(comitiva, /*storico=*/partenza <= std::max(dal_, giorno - 7));
    } else if (prenotata <= giorno) {
      const char* tipi[] = {"C", "D", "O"};
      const char* come = tipi[tipo];
      if (tipo == 2 && confermata <= giorno) come = "C";
      ScriviPrenotazioni(comitiva, come, trattamento);
    }
    if (disdetta && comitiva.arrivo >= giorno && disdetta_prenotata <= giorno) {
      ScriviPrenotazioni(comitiva,
                         disdetta_il <= giorno ? "X"
                         : disdetta_opzionale  ? "O"
                                               : "C",
                         trattamento);
    }
    caso_ = simulazione;
  }

  // Room rate of a night of the room type for a stay arriving on `arrivo`, in cents.
  int64_t TariffaCamera(int letto, int arrivo) {
    double stagione = kStagionePrezzi[DataDaGiorno(arrivo).mese - 1];
    return std::llround(kTipiLetto[letto].tariffa * stagione * (0.92 + 0.16 * caso_.Reale()));
  }

  // Daily amount, in cents, of room rate `camera` with `persone` guests on board `trattamento`.
  static int64_t Importo(int64_t camera, int trattamento, int persone) {
    const Trattamento& tr = kTrattamenti[trattamento];
    return std::llround(camera * tr.fattore) + int64_t{tr.per_persona} * persone;
  }

  int AltroTrattamento(int trattamento) {
    int altro = caso_.Pesato(kPesiTrattamenti);
    return altro == trattamento ? (altro + 1) % static_cast<int>(std::size(kTrattamenti)) : altro;
  }

  void Addebito(bool storico, int64_t cliente, const std::string& camera, int inizio, int fine,
                int64_t centesimi, const char* descrizione, int voce, const char* trattamento) {
    addebiti_[storico]
        ->Riga()
        .Intero(cliente)
        .Testo(camera)
        .Testo(Chiave(inizio))
        .Testo(Chiave(fine))
        .Reale(static_cast<double>(centesimi) / 100.0)
        .Testo(descrizione)
        .Intero(voce)
        .Testo(trattamento)
        .Riga();
  }

  void Pensione(bool storico, int64_t cliente, const std::string& camera, int inizio, int fine,
                int64_t tariffa, int trattamento, int persone, bool gruppo) {
    const Trattamento& tr = kTrattamenti[trattamento];
    const int voce = trattamento == kDayUse ? kVoceDayUse : gruppo ? kVoceGruppi : kVoceSoggiorno;
    Addebito(storico, cliente, camera, inizio, fine, Importo(tariffa, trattamento, persone),
             tr.descrizione, voce, tr.sigla);
  }

  // The board of a stay: usually one line over every night; sometimes the board changes half
  // way, or the first or last night is not charged.
  void LineePensione(bool storico, int64_t cliente, const std::string& camera, int arrivo,
                     int partenza, int64_t tariffa, int trattamento, int persone, bool gruppo) {
    const int notti = partenza - arrivo;
    const double x = caso_.Reale();
    if (notti >= 2 && x < 0.12) {
      const int cambio = arrivo + caso_.Tra(1, notti - 1);
      Pensione(storico, cliente, camera, arrivo, cambio, tariffa, trattamento, persone, gruppo);
      Pensione(storico, cliente, camera, cambio, partenza, tariffa, AltroTrattamento(trattamento),
               persone, gruppo);
    } else if (notti >= 2 && x < 0.17) {
      const bool primo = caso_.Probabile(0.5);
      Pensione(storico, cliente, camera, arrivo + primo, partenza - !primo, tariffa, trattamento,
               persone, gruppo);
    } else {
      Pensione(storico, cliente, camera, arrivo, partenza, tariffa, trattamento, persone, gruppo);
    }
  }

  void Supplementi(bool storico, CasiRari& rari, int64_t cliente, const std::string& camera,
                   int arrivo, int partenza, int stanze) {
    if (rari.supplemento.Tocca(caso_)) {
      const char* testo = kSupplementi[caso_.Sotto(static_cast<int>(std::size(kSupplementi)))];
      Addebito(storico, cliente, camera, arrivo, partenza, int64_t{stanze} * caso_.Tra(800, 3500),
               testo, kVoceSupplementi, "");
    } else if (caso_.Probabile(0.01)) {
      // Written in mixed case: not a supplement, an extra of its item.
      Addebito(storico, cliente, camera, arrivo, partenza, caso_.Tra(1000, 2000),
               "Suppl. animale domestico", kVoceSupplementi, "");
    }
  }

  void ExtraGiorno(bool storico, CasiRari& rari, int64_t cliente, const std::string& camera,
                   int giorno) {
    if (rari.voce_mancante.Tocca(caso_)) {
      Addebito(storico, cliente, camera, giorno, giorno + 1, caso_.Tra(500, 5000),
               "Servizio non codificato", kVoceMancante, "");
      return;
    }
    const Extra& e = kExtra[caso_.Pesato(kPesiExtra)];
    Addebito(storico, cliente, camera, giorno, giorno + 1, caso_.Tra(e.da, e.a),
             kVoci[e.voce].descrizione, kVoci[e.voce].codice, "");
  }

  // ---- Guest cards ----

  // The room number a card carries: an archived one may name a room of the old annex, pulled
  // down since.
  std::string CameraScheda(const Comitiva& comitiva, const Stanza& stanza, bool storico,
                           CasiRari& rari) {
    const bool archiviata = vista_ ? stanza.partenza <= dal_ : storico;
    if (archiviata && !comitiva.personale && rari.camera_dismessa.Tocca(caso_)) {
      const int vecchia = caso_.Tra(1, 40);
      return (vecchia < 10 ? "A0" : "A") + std::to_string(vecchia);
    }
    return camere_[stanza.camera].numero;
  }

  // The day a card really left: now and then earlier than planned, or a day later.
  int PartenzaReale(int arrivo, int partenza, bool storico, bool partito, CasiRari& rari) {
    const int notti = partenza - arrivo;
    const bool altra_partenza = vista_ ? partenza <= dal_ : partito;
    if (altra_partenza && notti >= 2 && rari.anticipata.Tocca(caso_)) {
      return arrivo + caso_.Tra(1, notti - 1);
    }
    if (altra_partenza && partenza + 1 <= (storico ? dal_ : oggi_vista_) && caso_.Probabile(0.02)) {
      return partenza + 1;
    }
    return partenza;
  }

  // The head of family and head of group codes of a card. In a group every room's first guest
  // heads a family of its own, so that a card without a company row reaches the group leader's;
  // otherwise the room's first guest `capo` heads the others when they are a family.
  void CapiScheda(Inseritore& riga, bool gruppo, bool famiglia, int componente, int64_t vivo,
                  int64_t capo, int64_t capo_gruppo) {
    if (gruppo) {
      riga.Intero(componente == 1 ? vivo : capo).Intero(capo_gruppo);
      return;
    }
    const int64_t capo_famiglia = componente > 1 && famiglia ? capo : 0;
    if (capo_famiglia == 0 && caso_.Probabile(0.05)) {
      riga.Null();
    } else {
      riga.Intero(capo_famiglia);
    }
    if (caso_.Probabile(0.1)) {
      riga.Null();
    } else {
      riga.Intero(0);
    }
  }

  void SchedeClienti(const Comitiva& comitiva, bool storico) {
    // Seen on a given day, a party's cards are the same whether still live or archived: the
    // same rare cases, board and departures (only those archived since `dal` leave early).
    CasiRari& rari = storico && !vista_ ? rari_storico_ : rari_schede_;
    const int arrivo = comitiva.arrivo;
    const int anno = DataDaGiorno(arrivo).anno;
    // Archived cards carry the live number plus the arrival year's offset; the live numbers of
    // archived cards start again every year, those of the live file run on.
    const int64_t scarto = storico ? int64_t{anno % 100} * 1000000 : 0;
    auto numero_vivo = [&]() { return storico ? ++numeri_storico_[anno] : ++numero_schede_; };
    // Staff have no charge lines: drawing their board would hide a board the lines lack.
    const int trattamento =
        comitiva.personale
            ? 0
            : (storico && !vista_ ? pensione_storico_ : pensione_schede_).Scegli(caso_);
    const bool ditta = comitiva.ditta && *comitiva.ditta;
    const bool leader_con_ditta =
        !comitiva.gruppo || rari.gruppi++ == 0 || !rari.gruppo_senza_ditta.Tocca(caso_);
    int64_t capo_gruppo = 0;

    for (size_t i = 0; i < comitiva.stanze.size(); ++i) {
      const Stanza& stanza = comitiva.stanze[i];
      const Camera& cam = camere_[stanza.camera];
      const std::string camera = CameraScheda(comitiva, stanza, storico, rari);
      const int partenza = stanza.partenza;
      const bool partito = storico || partenza <= oggi_vista_;
      const int reale = PartenzaReale(arrivo, partenza, storico, partito, rari);
      const bool famiglia = stanza.ospiti >= 2 && caso_.Probabile(0.7);
      // Companies: the card that carries the room only (the others reach it through their head
      // of family), every card, or none.
      constexpr double kPesiDitte[] = {0.45, 0.30, 0.25};
      const int modo_ditta = caso_.Pesato(kPesiDitte);
      const int64_t tariffa = cam.letto >= 0 ? TariffaCamera(cam.letto, arrivo) : 0;
      const char* cognome = kCognomi[caso_.Sotto(static_cast<int>(std::size(kCognomi)))];
      int64_t capo = 0;

      for (int componente = 1; componente <= stanza.ospiti; ++componente) {
        const int64_t vivo = numero_vivo();
        const int64_t numero = vivo + scarto;
        if (componente == 1) capo = vivo;
        if (comitiva.gruppo && i == 0 && componente == 1) capo_gruppo = vivo;

        Inseritore& riga = schede_[storico]->Riga();
        riga.Intero(numero);
        std::string nome =
            std::string(cognome) + " " + kNomi[caso_.Sotto(static_cast<int>(std::size(kNomi)))];
        riga.Testo(comitiva.personale ? "PERSONALE " + nome : nome);
        riga.Testo(camera).Testo(Chiave(arrivo)).Testo(Chiave(partenza));
        if (partito) {
          riga.Testo(Chiave(reale)).Testo("S");
        } else {
          riga.Null().Testo("N");
        }
        riga.Intero(componente);
        CapiScheda(riga, comitiva.gruppo, famiglia, componente, vivo, capo, capo_gruppo);
        riga.Riga();

        if (ditta) {
          bool scrivi = comitiva.gruppo ? (leader_con_ditta && i == 0 && componente == 1)
                                        : (modo_ditta == 1 || (modo_ditta == 0 && componente == 1));
          if (scrivi) ditte_[storico]->Riga().Intero(numero).Testo(comitiva.ditta).Riga();
        }
        if (!comitiva.personale) {
          AddebitiScheda(storico, rari, numero, camera, stanza, arrivo, componente, trattamento,
                         tariffa, comitiva.gruppo);
        }
      }
    }
  }

  void AddebitiScheda(bool storico, CasiRari& rari, int64_t numero, const std::string& camera,
                      const Stanza& stanza, int arrivo, int componente, int trattamento,
                      int64_t tariffa, bool gruppo) {
    const int partenza = stanza.partenza;
    // Each guest pays a share of the room with the board; some companions are charged on the
    // card of the guest who carries the room.
    if (componente == 1 || caso_.Probabile(0.8)) {
      LineePensione(storico, numero, camera, arrivo, partenza, tariffa / stanza.ospiti, trattamento,
                    1, gruppo);
    }
    if (componente == 1) {
      Supplementi(storico, rari, numero, camera, arrivo, partenza, 1);
      if (partenza - arrivo >= 2 && rari.cambio_camera.Tocca(caso_)) {
        // First night spent in the next room, then moved: that night is on the other room.
        const Camera& altra = camere_[(stanza.camera + 1) % letto_.size()];
        Addebito(storico, numero, altra.numero, arrivo, arrivo + 1, tariffa,
                 "Pernottamento (cambio camera)", kVoceSoggiorno, kTrattamenti[0].sigla);
      }
    }
    const double p_extra = componente == 1 ? 0.22 : 0.05;
    for (int giorno = arrivo; giorno < partenza; ++giorno) {
      if (caso_.Probabile(p_extra)) ExtraGiorno(storico, rari, numero, camera, giorno);
    }
  }

  // ---- Bookings ----

  struct Linea {
    int letto;  // index in kTipiLetto, -1 for a meeting room or parking place
    const char* tipo;
    int partenza;
    int quantita;
    int persone;
    int64_t tariffa;  // room rate of one room a night
  };

  void Prenotazioni(const Comitiva& comitiva) {
    constexpr const char* kTipi[] = {"C", "D", "O"};  // confirmed, confirmed, optional
    const char* tipo = kTipi[tipo_prenotazione_.Scegli(caso_)];
    const int trattamento = pensione_prenotazioni_.Scegli(caso_);
    ScriviPrenotazioni(comitiva, tipo, trattamento);
  }

  void ScriviPrenotazioni(const Comitiva& comitiva, const char* tipo, int trattamento) {
    // Rooms of one type and departure go on one line, two at most a line and four guests.
    std::vector<Linea> linee;
    std::vector<bool> fatta(comitiva.stanze.size(), false);
    for (size_t i = 0; i < comitiva.stanze.size(); ++i) {
      if (fatta[i]) continue;
      const Stanza& a = comitiva.stanze[i];
      const Camera& cam = camere_[a.camera];
      Linea linea{cam.letto,  kTipiLetto[cam.letto].sigla,
                  a.partenza, 1,
                  a.ospiti,   TariffaCamera(cam.letto, comitiva.arrivo)};
      fatta[i] = true;
      for (size_t j = i + 1; j < comitiva.stanze.size(); ++j) {
        const Stanza& b = comitiva.stanze[j];
        if (!fatta[j] && camere_[b.camera].letto == cam.letto && b.partenza == a.partenza &&
            a.ospiti + b.ospiti <= 4 && caso_.Probabile(0.6)) {
          linea.quantita = 2;
          linea.persone += b.ospiti;
          fatta[j] = true;
          break;
        }
      }
      if (rari_prenotazioni_.senza_persone.Tocca(caso_)) linea.persone = 0;
      linee.push_back(linea);
    }
    if (caso_.Probabile(0.05)) {
      int partenza = comitiva.stanze[0].partenza;
      if (caso_.Probabile(0.3)) {
        linee.push_back({-1, kSala, partenza, 1, caso_.Tra(1, 4), caso_.Tra(15000, 40000)});
      } else {
        linee.push_back({-1, kPostoAuto, partenza, 1, caso_.Tra(1, 2), caso_.Tra(1200, 2000)});
      }
    }
    // A guest who booked, cancelled and booked again.
    if (rari_prenotazioni_.annullata.Tocca(caso_)) {
      std::vector<Linea> prime(linee.begin(), linee.begin() + std::min<size_t>(3, linee.size()));
      ScriviPrenotazione("X", comitiva, prime, trattamento);
    }
    for (size_t k = 0; k < linee.size(); k += 3) {
      std::vector<Linea> parte(linee.begin() + k, linee.begin() + std::min(k + 3, linee.size()));
      ScriviPrenotazione(tipo, comitiva, parte, trattamento);
    }
  }

  void ScriviPrenotazione(const char* tipo, const Comitiva& comitiva,
                          const std::vector<Linea>& linee, int trattamento) {
    const int64_t numero = ++numero_prenotazioni_;
    Inseritore& testa = schede_pren_->Riga().Intero(numero).Testo(tipo);
    if (comitiva.ditta) {
      testa.Testo(comitiva.ditta);
    } else {
      testa.Null();
    }
    testa.Riga();
    const int arrivo = comitiva.arrivo;
    for (size_t i = 0; i < linee.size(); ++i) {
      const Linea& l = linee[i];
      const std::string id = std::to_string(i + 1);
      righe_pren_->Riga()
          .Intero(numero)
          .Testo(id)
          .Testo(Chiave(arrivo))
          .Testo(Chiave(l.partenza))
          .Testo(l.tipo)
          .Intero(l.quantita)
          .Intero(l.persone)
          .Riga();
      const std::string camera = "*" + id;
      if (l.letto < 0) {
        const bool sala = std::string_view(l.tipo) == kSala;
        Addebito(false, numero, camera, arrivo, l.partenza, l.tariffa,
                 sala ? "Affitto sala riunioni" : "Posto auto", sala ? kVoceSala : kVocePostoAuto,
                 "");
        continue;
      }
      CasiRari& rari = rari_prenotazioni_;
      if (rari.senza_addebiti.Tocca(caso_)) continue;
      LineePensione(false, numero, camera, arrivo, l.partenza, l.tariffa * l.quantita, trattamento,
                    l.persone, comitiva.gruppo);
      Supplementi(false, rari, numero, camera, arrivo, l.partenza, l.quantita);
      if (caso_.Probabile(0.05)) {
        Addebito(false, numero, camera, arrivo, l.partenza,
                 int64_t{l.quantita} * caso_.Tra(1200, 2000), "Garage", kVocePostoAuto, "");
      }
      if (caso_.Probabile(0.04)) {
        Addebito(false, numero, camera, arrivo, arrivo + 1, caso_.Tra(3500, 9000),
                 "Transfer aeroporto", kVoceTransfer, "");
      }
      if (rari.voce_mancante.Tocca(caso_)) {
        Addebito(false, numero, camera, arrivo, arrivo + 1, caso_.Tra(500, 5000),
                 "Servizio non codificato", kVoceMancante, "");
      }
    }
  }

  fs::path cartella_;
  OpzioniDemo opzioni_;
  Caso caso_;
  const int dal_, inizio_, fine_, oggi_;
  const std::optional<int> vista_;  // the day the hotel is seen on, when asked
  const int oggi_vista_;            // the first day whose parties are not yet in the house
  uint64_t comitive_ = 0;

  std::unique_ptr<Tabella> tipi_, numeri_, righe_pren_, schede_pren_;
  std::unique_ptr<Tabella> schede_[2], ditte_[2], addebiti_[2];  // [0] live, [1] history

  std::vector<Camera> camere_;
  std::vector<int> letto_;       // indices of the bedrooms in camere_
  std::vector<int> foresteria_;  // indices of the staff rooms

  int64_t numero_schede_ = 0;
  std::map<int, int64_t> numeri_storico_;  // last live number used, by arrival year
  int64_t numero_prenotazioni_ = 0;
  int64_t notti_vendute_ = 0;

  CasiRari rari_schede_, rari_storico_, rari_prenotazioni_;
  SceltaCoperta<std::size(kTrattamenti)> pensione_schede_{kPesiTrattamenti, 8};
  SceltaCoperta<std::size(kTrattamenti)> pensione_storico_{kPesiTrattamenti, 8};
  SceltaCoperta<std::size(kTrattamenti)> pensione_prenotazioni_{kPesiTrattamenti, 6};
  static constexpr double kPesiTipiPrenotazione[] = {0.60, 0.20, 0.20};
  SceltaCoperta<3> tipo_prenotazione_{kPesiTipiPrenotazione, 6};
};

}  // namespace

std::string ControllaOpzioni(const OpzioniDemo& opzioni) {
  int dal = 0;
  if (!LeggiData(opzioni.dal, dal)) {
    return "Data di inizio: " + MessaggioDataNonValida(opzioni.dal);
  }
  if (DataDaGiorno(dal).anno < 1901 || DataDaGiorno(dal).anno > 2099) {
    return "La data di inizio deve cadere tra il 1901 e il 2099";
  }
  if (opzioni.camere < 1 || opzioni.camere > 5000) {
    return "Il numero di camere deve essere tra 1 e 5000";
  }
  if (opzioni.giorni < 1 || opzioni.giorni > 3660) {
    return "I giorni di dati devono essere tra 1 e 3660";
  }
  if (opzioni.giorni_storico < 0 || opzioni.giorni_storico > 3660) {
    return "I giorni di storico devono essere tra 0 e 3660";
  }
  if (!opzioni.al_giorno.empty()) {
    int giorno = 0;
    if (!LeggiData(opzioni.al_giorno, giorno)) {
      return "Giorno della vista: " + MessaggioDataNonValida(opzioni.al_giorno);
    }
    if (giorno < dal || giorno > dal + opzioni.giorni) {
      return "Il giorno della vista deve cadere tra la data di inizio e la fine dei giorni di dati";
    }
  }
  if (!(opzioni.occupazione > 0 && opzioni.occupazione <= 1)) {
    return "L'occupazione deve essere maggiore di 0 e al massimo 1";
  }
  return "";
}

RiepilogoDemo ScriviHotelDemo(const std::string& cartella, const OpzioniDemo& opzioni) {
  std::string motivo = ControllaOpzioni(opzioni);
  if (!motivo.empty()) throw Errore(motivo);
  int dal = 0;
  LeggiData(opzioni.dal, dal);
  std::optional<int> vista;
  if (!opzioni.al_giorno.empty()) {
    int giorno = 0;
    LeggiData(opzioni.al_giorno, giorno);
    vista = giorno;
  }
  return ScrittoreHotel(cartella, opzioni, dal, vista).Scrivi();
}

}  // namespace vendrix::demo
