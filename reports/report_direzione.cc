// The manager's report: three sheets written from the books of the hotel (Portafoglio).

#include "reports/report_direzione.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <system_error>

#include "comune/errore_sistema.h"
#include "comune/versione.h"
#include "data/blocco_cartella.h"
#include "data/errore.h"
#include "reports/cartella_lavoro.h"
#include "reports/descrizione_fogli.h"
#include "reports/report.h"

namespace vendrix {

namespace {

namespace fs = std::filesystem;
using excel::ValoreCella;
using excel::Worksheet;
using std::chrono::days;

constexpr char kFormatoIntero[] = "#,##0";
constexpr char kFormatoDecimali[] = "0.00";
constexpr char kFormatoVariazione[] = "+0.00%;-0.00%;0.00%";
constexpr char kFormatoPunti[] = "+0.00\" pp\";-0.00\" pp\";0.00\" pp\"";
constexpr char kNonDisponibile[] = "n.d.";
constexpr char kSegnoProvvisorio[] = ".nuovo";

constexpr const char* kFoglioDirezione = "Direzione";
constexpr const char* kFoglioProssimi = "Prossimi giorni";
constexpr const char* kFoglioSegmenti = "Segmenti";

const DescrizioneFoglio kDescrizioneDirezione = {kFoglioDirezione,
                                                 {{"Voce", Genere::kEtichetta, "", 26},
                                                  {"Giorno", Genere::kImporto, "", 13},
                                                  {"Giorno AP", Genere::kAnnoPrecedente, "", 13},
                                                  {"Var. giorno", Genere::kAnnoPrecedente, "", 11},
                                                  {"Mese ad oggi", Genere::kImporto, "", 14},
                                                  {"Mese AP", Genere::kAnnoPrecedente, "", 14},
                                                  {"Var. mese", Genere::kAnnoPrecedente, "", 11},
                                                  {"Anno ad oggi", Genere::kImporto, "", 15},
                                                  {"Anno AP", Genere::kAnnoPrecedente, "", 15},
                                                  {"Var. anno", Genere::kAnnoPrecedente, "", 11}}};

const DescrizioneFoglio kDescrizioneProssimi = {
    kFoglioProssimi,
    {{"Data", Genere::kEtichetta, excel::kFormatoTesto, 12},
     {"Camere confermate", Genere::kOccupate, kFormatoIntero, 11},
     {"Camere opzionate", Genere::kConteggio, kFormatoIntero, 11},
     {"% occupazione", Genere::kOccupazione, excel::kFormatoPercentuale, 11},
     {"Totale Retta confermate", Genere::kRetta, excel::kFormatoValuta, 14},
     {"Totale Retta opzionate", Genere::kImporto, excel::kFormatoValuta, 14},
     {"Camere vendute AP", Genere::kAnnoPrecedente, kFormatoIntero, 11},
     {"% occupazione AP", Genere::kAnnoPrecedente, excel::kFormatoPercentuale, 11},
     {"Totale Retta AP", Genere::kAnnoPrecedente, excel::kFormatoValuta, 14}}};

const DescrizioneFoglio kDescrizioneSegmenti = {
    kFoglioSegmenti,
    {{"Segmento", Genere::kEtichetta, "", 22},
     {"Camere vendute", Genere::kOccupate, kFormatoIntero, 10},
     {"Totale Retta", Genere::kRetta, excel::kFormatoValuta, 14},
     {"ADR", Genere::kADR, excel::kFormatoValuta, 11},
     {"Quota retta", Genere::kImporto, excel::kFormatoPercentuale, 9},
     {"Camere vendute AP", Genere::kAnnoPrecedente, kFormatoIntero, 10},
     {"Totale Retta AP", Genere::kAnnoPrecedente, excel::kFormatoValuta, 14},
     {"ADR AP", Genere::kAnnoPrecedente, excel::kFormatoValuta, 11},
     {"Quota retta AP", Genere::kAnnoPrecedente, excel::kFormatoPercentuale, 9},
     {"Var. retta", Genere::kAnnoPrecedente, kFormatoVariazione, 10},
     {"Camere opzionate", Genere::kConteggio, kFormatoIntero, 10},
     {"Totale Retta opzionate", Genere::kImporto, excel::kFormatoValuta, 14}}};

// A span of nights, both ends included; empty when al is before dal.
struct Arco {
  Giorno dal, al;
  int64_t Notti() const { return al < dal ? 0 : (al - dal).count() + 1; }
  Arco AnnoPrima() const { return {UnAnnoPrima(dal), UnAnnoPrima(al)}; }
};

std::string TestoArco(const Arco& a) {
  return a.dal == a.al ? TestoData(a.dal) : "dal " + TestoData(a.dal) + " al " + TestoData(a.al);
}

Giorno PrimoDelMese(Giorno g) {
  const std::chrono::year_month_day d(g);
  return Giorno(d.year() / d.month() / 1);
}
Giorno UltimoDelMese(Giorno g) {
  const std::chrono::year_month_day d(g);
  return Giorno(d.year() / d.month() / std::chrono::last);
}
Giorno PrimoDellAnno(Giorno g) { return Giorno(std::chrono::year_month_day(g).year() / 1 / 1); }
Giorno UltimoDellAnno(Giorno g) { return Giorno(std::chrono::year_month_day(g).year() / 12 / 31); }

// The books folded by night (and by segment) for the sums of any span.
class Libri {
 public:
  Libri(const Portafoglio& p, std::vector<std::string> segmenti)
      : dal_(p.dal), segmenti_(std::move(segmenti)), camere_(p.CamereTotali()) {
    const size_t notti = p.al < p.dal ? 0 : static_cast<size_t>((p.al - p.dal).count() + 1);
    per_notte_.resize(notti);
    for (const RigaPortafoglio& riga : p.righe) {
      if (riga.notte < p.dal || riga.notte > p.al) continue;
      const size_t n = static_cast<size_t>((riga.notte - dal_).count());
      const size_t stato = static_cast<size_t>(riga.stato);
      per_notte_[n][stato] += riga.cifre;
      auto trovato = std::find(segmenti_.begin(), segmenti_.end(), riga.segmento);
      if (trovato == segmenti_.end()) trovato = segmenti_.insert(segmenti_.end(), riga.segmento);
      const size_t s = static_cast<size_t>(trovato - segmenti_.begin());
      if (per_segmento_.size() <= s) per_segmento_.resize(s + 1);
      if (per_segmento_[s].empty()) per_segmento_[s].resize(notti);
      per_segmento_[s][n][stato] += riga.cifre;
    }
    per_segmento_.resize(segmenti_.size());
    soggiorni_ = p.soggiorni;
  }

  // The sums of `stato` over the nights of `arco` (within the books), all segments or one.
  CifreNotte Somma(StatoNotte stato, const Arco& arco, int segmento = -1) const {
    CifreNotte somma;
    const auto& notti = segmento < 0 ? per_notte_ : per_segmento_[static_cast<size_t>(segmento)];
    for (Giorno g = arco.dal; g <= arco.al; g += days(1)) {
      if (g < dal_) continue;
      const size_t n = static_cast<size_t>((g - dal_).count());
      if (n >= notti.size()) break;
      somma += notti[n][static_cast<size_t>(stato)];
    }
    return somma;
  }
  // Last year's actual of the nights of `arco` taken night by night, each on its date a year
  // earlier (29 February on 28 February): a span of coming nights is set beside as many nights
  // of last year as the rows that show them, whatever leap day either year holds.
  CifreNotte SommaNotteANotteAP(const Arco& arco, int segmento = -1) const {
    CifreNotte somma;
    for (Giorno g = arco.dal; g <= arco.al; g += days(1)) {
      somma += Somma(StatoNotte::kEffettiva, Arco{g, g}.AnnoPrima(), segmento);
    }
    return somma;
  }
  // Rooms arriving (first night) and leaving (last night) in `arco`, and the nights of those
  // that leave.
  int64_t Arrivi(const Arco& arco) const {
    return std::count_if(soggiorni_.begin(), soggiorni_.end(), [&](const SoggiornoCamera& s) {
      return arco.dal <= s.arrivo && s.arrivo <= arco.al;
    });
  }
  std::pair<int64_t, int64_t> Partenze(const Arco& arco) const {
    int64_t partenze = 0, notti = 0;
    for (const SoggiornoCamera& s : soggiorni_) {
      const Giorno ultima = s.partenza - days(1);
      if (arco.dal <= ultima && ultima <= arco.al) {
        ++partenze;
        notti += (s.partenza - s.arrivo).count();
      }
    }
    return {partenze, notti};
  }
  const std::vector<std::string>& segmenti() const { return segmenti_; }
  int64_t camere() const { return camere_; }

 private:
  Giorno dal_;
  std::vector<std::string> segmenti_;
  int64_t camere_;
  std::vector<std::array<CifreNotte, 3>> per_notte_;
  std::vector<std::vector<std::array<CifreNotte, 3>>> per_segmento_;
  std::vector<SoggiornoCamera> soggiorni_;
};

double Rapporto(double a, double b) { return b == 0 ? 0 : a / b; }
Valuta Diviso(Valuta importo, int64_t n) {
  return n == 0 ? Valuta() : importo.DivisoPer(n).ArrotondaCentesimi();
}
double Numero(const ValoreCella& v) {
  switch (v.Tipo()) {
    case excel::TipoCella::kValuta:
      return v.ComeValuta().ComeDouble();
    case excel::TipoCella::kIntero:
      return static_cast<double>(v.Intero());
    case excel::TipoCella::kNumero:
      return v.Numero();
    default:
      return 0;
  }
}

void Scrivi(Worksheet& foglio, int riga, int colonna, const ValoreCella& valore,
            const std::string& formato = "", bool grassetto = false) {
  if (!formato.empty()) foglio.Range(Cella(riga, colonna)).NumberFormat(formato);
  if (grassetto) foglio.Range(Cella(riga, colonna)).FontBold();
  foglio.Cells(riga, colonna) = valore;
}

// Texts that run across the columns (titles, notes), written once the widths are fitted to the
// figures so that they do not widen their column.
class TestiLunghi {
 public:
  void Aggiungi(int riga, std::string testo, bool grassetto = false) {
    testi_.push_back({riga, std::move(testo), grassetto});
  }
  void ScriviIn(Worksheet& foglio) const {
    for (const auto& t : testi_) Scrivi(foglio, t.riga, 1, t.testo, "", t.grassetto);
  }

 private:
  struct Testo {
    int riga;
    std::string testo;
    bool grassetto;
  };
  std::vector<Testo> testi_;
};

// A heading row at `riga`, bold and wrapped, the headings of figures on their right.
void Intestazioni(Worksheet& foglio, const std::vector<std::string>& testi, int riga) {
  for (size_t c = 0; c < testi.size(); ++c) {
    const int colonna = static_cast<int>(c) + 1;
    foglio.Range(Cella(riga, colonna)).FontBold();
    foglio.Range(Cella(riga, colonna)).WrapText();
    if (colonna > 1) foglio.Range(Cella(riga, colonna)).AllineaADestra();
    foglio.Cells(riga, colonna) = testi[c];
  }
  foglio.Range(Cella(riga, 1)).RowHeight(30);
}

// The change of `attuale` against `passato` at (riga, colonna): relative, or in percentage
// points for a share; "n.d." where last year has nothing.
enum class Variazione { kRelativa, kPunti };
void ScriviVariazione(Worksheet& foglio, int riga, int colonna, double attuale, double passato,
                      Variazione variazione) {
  if (passato == 0) {
    foglio.Range(Cella(riga, colonna)).AllineaADestra();
    Scrivi(foglio, riga, colonna, kNonDisponibile);
  } else if (variazione == Variazione::kRelativa) {
    Scrivi(foglio, riga, colonna, attuale / passato - 1, kFormatoVariazione);
  } else {
    Scrivi(foglio, riga, colonna, (attuale - passato) * 100, kFormatoPunti);
  }
}

// Long texts on rows of their own, cut at a blank before `larghezza` characters, so that a
// printed page shows them whole.
std::vector<std::string> Righe(const std::string& testo, size_t larghezza = 110) {
  std::vector<std::string> righe;
  std::string_view resto = testo;
  while (resto.size() > larghezza) {
    size_t taglio = resto.rfind(' ', larghezza);
    if (taglio == std::string_view::npos || taglio == 0) taglio = larghezza;
    righe.emplace_back(resto.substr(0, taglio));
    resto.remove_prefix(taglio);
    while (!resto.empty() && resto.front() == ' ') resto.remove_prefix(1);
  }
  if (!resto.empty() || righe.empty()) righe.emplace_back(resto);
  return righe;
}

// The figures of one span of actual nights.
struct Misure {
  int64_t disponibili = 0, arrivi = 0, partenze = 0, notti_partiti = 0;
  CifreNotte c;
  std::vector<CifreNotte> segmenti;
};

Misure Misura(const Libri& libri, const Arco& arco, StatoNotte stato = StatoNotte::kEffettiva) {
  Misure m;
  m.disponibili = libri.camere() * arco.Notti();
  m.c = libri.Somma(stato, arco);
  m.arrivi = libri.Arrivi(arco);
  std::tie(m.partenze, m.notti_partiti) = libri.Partenze(arco);
  for (size_t s = 0; s < libri.segmenti().size(); ++s) {
    m.segmenti.push_back(libri.Somma(stato, arco, static_cast<int>(s)));
  }
  return m;
}

// One line of "Direzione": its label, how its values show and change, and its value.
struct Voce {
  std::string etichetta;
  std::string formato;
  Variazione variazione;
  std::function<ValoreCella(const Misure&)> valore;
};

std::vector<Voce> VociDirezione(const Libri& libri) {
  const Variazione rel = Variazione::kRelativa;
  const std::string valuta = excel::kFormatoValuta;
  std::vector<Voce> voci = {
      {"Camere disponibili", kFormatoIntero, rel,
       [](const Misure& m) { return ValoreCella(m.disponibili); }},
      {"Camere vendute", kFormatoIntero, rel,
       [](const Misure& m) { return ValoreCella(m.c.camere); }},
      {"% occupazione", excel::kFormatoPercentuale, Variazione::kPunti,
       [](const Misure& m) {
         return ValoreCella(
             Rapporto(static_cast<double>(m.c.camere), static_cast<double>(m.disponibili)));
       }},
      {"ADR", valuta, rel,
       [](const Misure& m) { return ValoreCella(Diviso(m.c.retta, m.c.camere)); }},
      {"RevPar", valuta, rel,
       [](const Misure& m) { return ValoreCella(Diviso(m.c.retta, m.disponibili)); }},
      {"Totale Retta", valuta, rel, [](const Misure& m) { return ValoreCella(m.c.retta); }},
      {"di cui Extra", valuta, rel, [](const Misure& m) { return ValoreCella(m.c.extra); }},
      {"Retta senza extra", valuta, rel,
       [](const Misure& m) { return ValoreCella(m.c.retta - m.c.extra); }},
      {"Ospiti", kFormatoIntero, rel, [](const Misure& m) { return ValoreCella(m.c.ospiti); }},
      {"Entrata media per ospite", valuta, rel,
       [](const Misure& m) { return ValoreCella(Diviso(m.c.retta, m.c.ospiti)); }},
      {"Arrivi", kFormatoIntero, rel, [](const Misure& m) { return ValoreCella(m.arrivi); }},
      {"Partenze", kFormatoIntero, rel, [](const Misure& m) { return ValoreCella(m.partenze); }},
      {"Durata media del soggiorno", kFormatoDecimali, rel,
       [](const Misure& m) {
         return ValoreCella(
             Rapporto(static_cast<double>(m.notti_partiti), static_cast<double>(m.partenze)));
       }},
      {"Ospiti per camera", kFormatoDecimali, rel,
       [](const Misure& m) {
         return ValoreCella(
             Rapporto(static_cast<double>(m.c.ospiti), static_cast<double>(m.c.camere)));
       }},
      {"RO", valuta, rel, [](const Misure& m) { return ValoreCella(m.c.ro); }},
      {"BB", valuta, rel, [](const Misure& m) { return ValoreCella(m.c.bb); }},
      {"HB", valuta, rel, [](const Misure& m) { return ValoreCella(m.c.hb); }},
      {"FB", valuta, rel, [](const Misure& m) { return ValoreCella(m.c.fb); }},
      {"Supplementi", valuta, rel, [](const Misure& m) { return ValoreCella(m.c.supplementi); }},
  };
  // The room revenue of each segment.
  for (size_t s = 0; s < libri.segmenti().size(); ++s) {
    voci.push_back({libri.segmenti()[s], valuta, rel,
                    [s](const Misure& m) { return ValoreCella(m.segmenti[s].retta); }});
  }
  return voci;
}

// The forecast of a month or a year: actual to the reference day, confirmed and optional on the
// books for the rest of it, beside last year's whole span. Returns the row after it.
int ScriviPrevisione(Worksheet& foglio, TestiLunghi& testi, int riga, const Libri& libri,
                     const std::string& titolo, const std::string& colonna_ap, Giorno inizio,
                     Giorno giorno, Giorno fine) {
  const Arco effettivo{inizio, giorno}, resto{giorno + days(1), fine}, tutto{inizio, fine};
  const CifreNotte e = libri.Somma(StatoNotte::kEffettiva, effettivo);
  const CifreNotte c = libri.Somma(StatoNotte::kConfermata, resto);
  const CifreNotte o = libri.Somma(StatoNotte::kOpzionale, resto);
  CifreNotte p = e;
  p += c;
  const CifreNotte ap = libri.Somma(StatoNotte::kEffettiva, tutto.AnnoPrima());
  const int64_t capacita = libri.camere() * tutto.Notti();
  const int64_t capacita_ap = libri.camere() * tutto.AnnoPrima().Notti();

  testi.Aggiungi(riga++, titolo + " (" + TestoArco(tutto) + ")", true);
  Intestazioni(foglio,
               {"Voce", "Effettivo", "Confermate", "Previsione", "Opzionate", colonna_ap, "Var."},
               riga++);
  const std::array<const CifreNotte*, 5> colonne = {&e, &c, &p, &o, &ap};
  struct Riga {
    const char* etichetta;
    std::string formato;
    Variazione variazione;
    std::function<ValoreCella(const CifreNotte&, int64_t)> valore;
  };
  const std::vector<Riga> righe = {
      {"Camere vendute", kFormatoIntero, Variazione::kRelativa,
       [](const CifreNotte& x, int64_t) { return ValoreCella(x.camere); }},
      {"% occupazione", excel::kFormatoPercentuale, Variazione::kPunti,
       [](const CifreNotte& x, int64_t cap) {
         return ValoreCella(Rapporto(static_cast<double>(x.camere), static_cast<double>(cap)));
       }},
      {"ADR", excel::kFormatoValuta, Variazione::kRelativa,
       [](const CifreNotte& x, int64_t) { return ValoreCella(Diviso(x.retta, x.camere)); }},
      {"RevPar", excel::kFormatoValuta, Variazione::kRelativa,
       [](const CifreNotte& x, int64_t cap) { return ValoreCella(Diviso(x.retta, cap)); }},
      {"Totale Retta", excel::kFormatoValuta, Variazione::kRelativa,
       [](const CifreNotte& x, int64_t) { return ValoreCella(x.retta); }},
  };
  for (const Riga& r : righe) {
    Scrivi(foglio, riga, 1, r.etichetta);
    for (size_t i = 0; i < colonne.size(); ++i) {
      const int64_t cap = i == 4 ? capacita_ap : capacita;
      Scrivi(foglio, riga, static_cast<int>(i) + 2, r.valore(*colonne[i], cap), r.formato);
    }
    ScriviVariazione(foglio, riga, 7, Numero(r.valore(p, capacita)),
                     Numero(r.valore(ap, capacita_ap)), r.variazione);
    ++riga;
  }
  return riga + 1;
}

std::string TestoPrenotazioniNonNote(Giorno giorno) {
  return "Prenotazioni e previsioni non incluse: i file dell'hotel mostrano le prenotazioni di "
         "oggi, non quelle del " +
         TestoData(giorno) + ".";
}

void FoglioDirezione(Worksheet& foglio, const DatiDirezione& dati, const Libri& libri) {
  const Giorno g = dati.giorno;
  const Arco giorno{g, g}, mese{PrimoDelMese(g), g}, anno{PrimoDellAnno(g), g};
  const std::array<Arco, 3> archi = {giorno, mese, anno};
  std::array<Misure, 3> attuali, passati;
  for (size_t i = 0; i < archi.size(); ++i) {
    attuali[i] = Misura(libri, archi[i]);
    passati[i] = Misura(libri, archi[i].AnnoPrima());
  }

  // Above the table: what the report is of, and what it leaves out.
  std::vector<std::string> testa = {"Hotel: " + dati.hotel,
                                    "Giorno: " + TestoData(g) + " (ultima notte del report)",
                                    "Creato il " + dati.creato_il};
  if (dati.prenotazioni_note) {
    testa.push_back("Prenotazioni al " + dati.portafoglio.calcolato_il);
  } else {
    testa.push_back(TestoPrenotazioniNonNote(g));
  }
  for (const std::string& m : dati.portafoglio.mancanze) {
    for (std::string& r : Righe("Non disponibile: " + m)) testa.push_back(std::move(r));
  }
  TestiLunghi testi;
  int riga = 1;
  testi.Aggiungi(riga++, "Report di direzione", true);
  for (std::string& t : testa) testi.Aggiungi(riga++, std::move(t));
  ++riga;

  std::vector<std::string> intestazioni;
  for (const Colonna& c : kDescrizioneDirezione.colonne) intestazioni.push_back(c.intestazione);
  Intestazioni(foglio, intestazioni, riga++);
  for (const Voce& voce : VociDirezione(libri)) {
    Scrivi(foglio, riga, 1, voce.etichetta);
    for (size_t i = 0; i < archi.size(); ++i) {
      const int colonna = 2 + static_cast<int>(i) * 3;
      const ValoreCella attuale = voce.valore(attuali[i]);
      const ValoreCella passato = voce.valore(passati[i]);
      Scrivi(foglio, riga, colonna, attuale, voce.formato);
      Scrivi(foglio, riga, colonna + 1, passato, voce.formato);
      ScriviVariazione(foglio, riga, colonna + 2, Numero(attuale), Numero(passato),
                       voce.variazione);
    }
    ++riga;
  }
  ++riga;
  if (dati.prenotazioni_note) {
    riga = ScriviPrevisione(foglio, testi, riga, libri, "Previsione del mese", "Mese AP",
                            PrimoDelMese(g), g, UltimoDelMese(g));
    riga = ScriviPrevisione(foglio, testi, riga, libri, "Previsione dell'anno", "Anno AP",
                            PrimoDellAnno(g), g, UltimoDellAnno(g));
  }
  testi.Aggiungi(riga,
                 "AP: le stesse date un anno prima (il 29/02 diventa 28/02), soggiorni "
                 "effettivi. Var.: variazione relativa; occupazione in punti (pp).");
  for (int c = 1; c <= kDescrizioneDirezione.NumeroColonne(); ++c) {
    foglio.Range(Cella(1, c)).ColumnWidth(kDescrizioneDirezione.colonne[c - 1].larghezza);
  }
  foglio.AllargaColonne(1, kDescrizioneDirezione.NumeroColonne());
  testi.ScriviIn(foglio);
  excel::ImpostazioniPagina& pagina = foglio.PageSetup();
  pagina.orizzontale = false;
  pagina.pagine_in_larghezza = 1;
  pagina.pagine_in_altezza = 1;
}

// The confirmed rooms picked up over the nights of `arco` since the snapshot of a day (k 0) or
// of 7 days (k 1) before: n.d. (nullopt) when a night lacks it.
std::optional<int64_t> PickupDi(const DatiDirezione& dati, const Arco& arco, size_t k) {
  std::optional<int64_t> somma = 0;
  for (Giorno n = arco.dal; n <= arco.al && somma; n += days(1)) {
    const auto it = dati.pickup.find(n);
    somma = it != dati.pickup.end() && it->second[k] ? *somma + *it->second[k]
                                                     : std::optional<int64_t>();
  }
  return somma;
}

// One row of "Prossimi giorni" at `riga`: the books of the nights of `arco` beside last year's
// actual, and their pickup when the snapshots give it.
void RigaProssimi(Worksheet& foglio, int riga, const ValoreCella& etichetta, const Arco& arco,
                  bool grassetto, const DatiDirezione& dati, const Libri& libri) {
  const DescrizioneFoglio& d = kDescrizioneProssimi;
  const CifreNotte c = libri.Somma(StatoNotte::kConfermata, arco);
  const CifreNotte o = libri.Somma(StatoNotte::kOpzionale, arco);
  const CifreNotte ap = libri.SommaNotteANotteAP(arco);
  const double capacita = static_cast<double>(libri.camere() * arco.Notti());
  const std::array<ValoreCella, 9> valori = {
      etichetta, c.camere, o.camere,  Rapporto(static_cast<double>(c.camere), capacita),
      c.retta,   o.retta,  ap.camere, Rapporto(static_cast<double>(ap.camere), capacita),
      ap.retta};
  for (size_t i = 0; i < valori.size(); ++i) {
    Scrivi(foglio, riga, static_cast<int>(i) + 1, valori[i], d.colonne[i].formato, grassetto);
  }
  if (dati.pickup.empty()) return;
  for (size_t k = 0; k < 2; ++k) {
    const int colonna = d.NumeroColonne() + 1 + static_cast<int>(k);
    if (const std::optional<int64_t> somma = PickupDi(dati, arco, k)) {
      Scrivi(foglio, riga, colonna, *somma, kFormatoIntero, grassetto);
    } else {
      Scrivi(foglio, riga, colonna, kNonDisponibile, "", grassetto);
      foglio.Range(Cella(riga, colonna)).AllineaADestra();
    }
  }
}

// The chart of occupancy on the books against last year's, nights from row 2 to `ultima`, at
// column `colonna`.
void GraficoProssimi(Worksheet& foglio, int ultima, int colonna) {
  const std::string& nome = kDescrizioneProssimi.nome;
  excel::Grafico grafico;
  grafico.tipo = excel::TipoGrafico::kLinee;
  grafico.titolo = "Occupazione in portafoglio e anno precedente";
  grafico.titolo_categorie = "Data";
  grafico.titolo_valori = "% occupazione";
  grafico.formato_valori = "0%";
  grafico.serie = {
      {"% occupazione", DatiColonna(nome, 1, ultima), DatiColonna(nome, 4, ultima)},
      {"% occupazione AP", DatiColonna(nome, 1, ultima), DatiColonna(nome, 8, ultima)}};
  grafico.riga = 2;
  grafico.colonna = colonna;
  grafico.larghezza = 720;
  grafico.altezza = 360;
  foglio.AggiungiGrafico(grafico);
}

void FoglioProssimiGiorni(Worksheet& foglio, const DatiDirezione& dati, const Libri& libri) {
  const DescrizioneFoglio& d = kDescrizioneProssimi;
  ScriviIntestazioni(foglio, d);
  foglio.Range(Cella(1, 2), Cella(1, d.NumeroColonne())).AllineaADestra();
  if (!dati.prenotazioni_note) {
    RifinisciFoglio(foglio, d, 1, d.NumeroColonne());
    Scrivi(foglio, 2, 1, TestoPrenotazioniNonNote(dati.giorno));
    return;
  }
  const int colonne_pickup = dati.pickup.empty() ? 0 : 2;
  if (colonne_pickup > 0) {
    const int c = d.NumeroColonne() + 1;
    foglio.Cells(1, c) = "Pickup 1 giorno";
    foglio.Cells(1, c + 1) = "Pickup 7 giorni";
    auto intestazioni = foglio.Range(Cella(1, c), Cella(1, c + 1));
    intestazioni.FontBold();
    intestazioni.WrapText();
    intestazioni.AllineaADestra();
    intestazioni.ColumnWidth(11);
  }
  const Giorno primo = dati.giorno + days(1);
  int riga = 2;
  for (int n = 0; n < kNottiProssimiGiorni; ++n) {
    const Giorno notte = primo + days(n);
    RigaProssimi(foglio, riga++, TestoData(notte), {notte, notte}, false, dati, libri);
  }
  const int ultima = riga - 1;
  ++riga;
  RigaProssimi(foglio, riga++, "Totale", {primo, primo + days(kNottiProssimiGiorni - 1)}, true,
               dati, libri);
  ++riga;
  for (int notti : {7, 30, 90}) {
    RigaProssimi(foglio, riga++, "Prossime " + std::to_string(notti) + " notti",
                 {primo, primo + days(notti - 1)}, true, dati, libri);
  }
  GraficoProssimi(foglio, ultima, d.NumeroColonne() + colonne_pickup + 2);
  RifinisciFoglio(foglio, d, ultima, d.NumeroColonne() + colonne_pickup);
  Scrivi(foglio, riga + 1, 1,
         "Prenotazioni al " + dati.portafoglio.calcolato_il +
             "; confermate: senza le opzionate; AP: soggiorni effettivi delle stesse date.");
}

void FoglioSegmenti(Worksheet& foglio, const DatiDirezione& dati, const Libri& libri) {
  const DescrizioneFoglio& d = kDescrizioneSegmenti;
  ScriviIntestazioni(foglio, d);
  foglio.Range(Cella(1, 2), Cella(1, d.NumeroColonne())).AllineaADestra();
  const Giorno g = dati.giorno;
  const size_t n = libri.segmenti().size();
  TestiLunghi testi;
  int riga = 2;
  // A block of one row per segment and its total: the actual of `arco` beside last year's of
  // the same dates; of coming nights (`opzionate`), the confirmed books, the optional ones apart
  // and last year night by night, as "Prossimi giorni" shows it.
  const auto blocco = [&](const std::string& titolo, const Arco& arco, bool opzionate) {
    testi.Aggiungi(riga++, titolo, true);
    const StatoNotte stato = opzionate ? StatoNotte::kConfermata : StatoNotte::kEffettiva;
    std::vector<CifreNotte> attuali(n), passati(n), opzioni(n);
    CifreNotte totale, totale_ap, totale_opz;
    for (size_t s = 0; s < n; ++s) {
      attuali[s] = libri.Somma(stato, arco, static_cast<int>(s));
      passati[s] = opzionate
                       ? libri.SommaNotteANotteAP(arco, static_cast<int>(s))
                       : libri.Somma(StatoNotte::kEffettiva, arco.AnnoPrima(), static_cast<int>(s));
      if (opzionate) opzioni[s] = libri.Somma(StatoNotte::kOpzionale, arco, static_cast<int>(s));
      totale += attuali[s];
      totale_ap += passati[s];
      totale_opz += opzioni[s];
    }
    const auto scrivi = [&](const std::string& etichetta, const CifreNotte& a, const CifreNotte& p,
                            const CifreNotte& o, bool grassetto) {
      const double quota = Rapporto(a.retta.ComeDouble(), totale.retta.ComeDouble());
      const double quota_ap = Rapporto(p.retta.ComeDouble(), totale_ap.retta.ComeDouble());
      const std::array<ValoreCella, 9> valori = {
          etichetta, a.camere, a.retta, Diviso(a.retta, a.camere),
          quota,     p.camere, p.retta, Diviso(p.retta, p.camere),
          quota_ap};
      for (size_t i = 0; i < valori.size(); ++i) {
        Scrivi(foglio, riga, static_cast<int>(i) + 1, valori[i], d.colonne[i].formato, grassetto);
      }
      ScriviVariazione(foglio, riga, 10, a.retta.ComeDouble(), p.retta.ComeDouble(),
                       Variazione::kRelativa);
      if (grassetto) foglio.Range(Cella(riga, 10)).FontBold();
      if (opzionate) {
        Scrivi(foglio, riga, 11, o.camere, d.colonne[10].formato, grassetto);
        Scrivi(foglio, riga, 12, o.retta, d.colonne[11].formato, grassetto);
      }
      ++riga;
    };
    for (size_t s = 0; s < n; ++s) {
      scrivi(libri.segmenti()[s], attuali[s], passati[s], opzioni[s], false);
    }
    scrivi("Totale", totale, totale_ap, totale_opz, true);
    ++riga;
  };
  blocco("Giorno " + TestoData(g), {g, g}, false);
  blocco("Mese ad oggi (" + TestoArco({PrimoDelMese(g), g}) + ")", {PrimoDelMese(g), g}, false);
  blocco("Anno ad oggi (" + TestoArco({PrimoDellAnno(g), g}) + ")", {PrimoDellAnno(g), g}, false);
  const int ultima = riga - 2;
  if (dati.prenotazioni_note) {
    for (int notti : {30, 90}) {
      const Arco arco{g + days(1), g + days(notti)};
      blocco("Prossime " + std::to_string(notti) + " notti in portafoglio (" + TestoArco(arco) +
                 "): confermate, le opzionate a parte",
             arco, true);
    }
    testi.Aggiungi(riga, "Prenotazioni al " + dati.portafoglio.calcolato_il);
  } else {
    testi.Aggiungi(riga, TestoPrenotazioniNonNote(g));
  }
  RifinisciFoglio(foglio, d, ultima, d.NumeroColonne());
  testi.ScriviIn(foglio);
}

}  // namespace

std::string NomeReportDirezione(Giorno giorno) {
  return "REPORT_DIREZIONE_" + ChiaveData(giorno) + ".xlsx";
}

std::pair<Giorno, Giorno> NottiReportDirezione(Giorno giorno) {
  const Giorno inizio = UnAnnoPrima(PrimoDellAnno(giorno));
  return {PrimoDellAnno(inizio),
          std::max(UltimoDellAnno(giorno), giorno + days(kNottiProssimiGiorni))};
}

std::string ScriviReportDirezione(const DatiDirezione& dati, const fs::path& cartella_excel) {
  excel::Application excel;
  excel::Workbook& cartella = excel.Workbooks().Add();
  cartella.Sheets(1).SetName(kFoglioDirezione);
  const Libri libri(dati.portafoglio, dati.segmenti);
  FoglioDirezione(cartella.Sheets(1), dati, libri);
  FoglioProssimiGiorni(cartella.AggiungiFoglio(kFoglioProssimi), dati, libri);
  FoglioSegmenti(cartella.AggiungiFoglio(kFoglioSegmenti), dati, libri);
  excel::ProprietaDocumento& p = cartella.BuiltinDocumentProperties();
  p.titolo = "Report di direzione";
  p.soggetto = "Giorno " + TestoData(dati.giorno) + ", " + dati.hotel;
  p.applicazione = std::string("Vendrix ") + kVersione;

  std::error_code errore;
  fs::create_directories(cartella_excel, errore);
  if (errore || !fs::is_directory(cartella_excel)) {
    throw Errore("Impossibile creare la cartella '" + cartella_excel.string() + "'" +
                 (errore ? ": " + TestoErroreSistema(errore) : std::string()) + ".");
  }
  const BloccoCartella blocco(cartella_excel, kFileBloccoExcel, BloccoCartella::Modo::kEsclusivo,
                              "Altri fogli Excel sono in scrittura nella cartella " +
                                  cartella_excel.string() + ": riprovare al termine.");
  const std::string nome = NomeReportDirezione(dati.giorno);
  RimuoviAvanzi(cartella_excel, nome + ".", kSegnoProvvisorio);
  const std::string percorso = (cartella_excel / nome).string();
  const std::string provvisorio = NuovoFileTemporaneo(percorso + ".", kSegnoProvvisorio);
  try {
    cartella.SaveAs(provvisorio);
    fs::rename(provvisorio, percorso, errore);
    if (errore) {
      throw Errore("Impossibile scrivere '" + percorso + "': " + TestoErroreSistema(errore) +
                   ". Chiudere il file se è aperto e riprovare.");
    }
  } catch (...) {
    std::error_code ignorato;
    fs::remove(provvisorio, ignorato);
    throw;
  }
  cartella.Close();
  excel.Quit();
  return percorso;
}

}  // namespace vendrix
