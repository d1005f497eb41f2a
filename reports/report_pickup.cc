#include "reports/report_pickup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <system_error>
#include <tuple>

#include "comune/errore_sistema.h"
#include "comune/nome_hotel.h"
#include "comune/segmenti.h"
#include "comune/versione.h"
#include "data/blocco_cartella.h"
#include "reports/cartella_lavoro.h"
#include "reports/descrizione_fogli.h"
#include "reports/report.h"

namespace vendrix {

namespace fs = std::filesystem;
using std::chrono::days;

namespace {

using Totali = std::map<Giorno, std::map<Giorno, TotaleNotte>>;
using Finali = std::map<Giorno, TotaleConsuntivo>;

// The books of `notte` in the snapshot of `giorno`; nullptr when that snapshot does not exist
// (or was not read).
const TotaleNotte* Libro(const Totali& totali, Giorno giorno, Giorno notte) {
  const auto n = totali.find(notte);
  if (n == totali.end()) return nullptr;
  const auto g = n->second.find(giorno);
  return g == n->second.end() ? nullptr : &g->second;
}

// Mean absolute percentage error of pairs (forecast, actual) with actual > 0.
std::optional<double> Mape(const std::vector<std::pair<double, double>>& coppie) {
  if (coppie.empty()) return std::nullopt;
  double somma = 0;
  for (const auto& [f, a] : coppie) somma += std::fabs(f - a) / a;
  return somma / static_cast<double>(coppie.size());
}

}  // namespace

std::optional<double> Previsione(const Totali& totali, const Finali& finali, Giorno giorno,
                                 Giorno notte) {
  const TotaleNotte* oggi = Libro(totali, giorno, notte);
  if (!oggi) return std::nullopt;
  const days anticipo = notte - giorno;
  const Giorno primo = giorno - days(7 * kSettimanePrevisione);
  double somma = 0;
  int quante = 0;
  for (Giorno passata = notte - days(7); passata >= primo; passata -= days(7)) {
    if (passata >= giorno) continue;
    const auto finale = finali.find(passata);
    const TotaleNotte* allora = Libro(totali, passata - anticipo, passata);
    if (finale == finali.end() || !allora) continue;
    somma += static_cast<double>(finale->second.camere - allora->camere);
    ++quante;
  }
  if (quante == 0) return std::nullopt;
  return static_cast<double>(oggi->camere) + somma / quante;
}

namespace {

// What the store holds for the pickup of one day: the totals and finals its forecast and the
// forecast's error reach back to, and last year's of the same nights.
struct Letture {
  Totali totali, totali_ap;
  Finali finali, finali_ap;
};

Letture Leggi(const ArchivioLibri& libri, Giorno giorno, Giorno ultima) {
  const days indietro_notti(kNottiErrore + kAnticipoErrore + 7 * kSettimanePrevisione);
  const days indietro_giorni = indietro_notti + days(kNottiPickup);
  const Giorno giorno_ap = UnAnnoPrima(giorno);
  return {libri.Totali(giorno - indietro_notti, ultima, giorno - indietro_giorni, giorno),
          libri.Totali(giorno_ap, UnAnnoPrima(ultima), giorno_ap, giorno_ap),
          libri.Consuntivi(giorno - indietro_notti, giorno - days(1)),
          libri.Consuntivi(giorno_ap, UnAnnoPrima(ultima))};
}

// The forecast of `notte` made on `allora`, bounded by the hotel: a night cannot end with more
// rooms sold than `camere` (when known), nor with fewer than none.
std::optional<double> Prevista(const Letture& l, int64_t camere, Giorno allora, Giorno notte) {
  std::optional<double> f = Previsione(l.totali, l.finali, allora, notte);
  if (f && camere > 0) f = std::min(*f, static_cast<double>(camere));
  if (f) f = std::max(*f, 0.0);
  return f;
}

// One night of "Pickup" in the snapshot of p.giorno (which holds every night it shows).
NottePickup Notte(const Letture& l, const Pickup& p, Giorno notte) {
  NottePickup n;
  n.notte = notte;
  const TotaleNotte* oggi = Libro(l.totali, p.giorno, notte);
  n.camere = oggi->camere;
  n.retta = oggi->retta;
  for (size_t i = 0; i < kGiorniPickup.size(); ++i) {
    if (const TotaleNotte* prima = Libro(l.totali, p.giorno - days(kGiorniPickup[i]), notte)) {
      n.pickup[i] = n.camere - prima->camere;
      if (kGiorniPickup[i] == 7) n.pickup_retta_7 = n.retta - prima->retta;
    }
  }
  const Giorno notte_ap = UnAnnoPrima(notte);
  if (const TotaleNotte* ap = Libro(l.totali_ap, UnAnnoPrima(p.giorno), notte_ap)) {
    n.stesso_anticipo_ap = ap->camere;
  }
  if (auto f = l.finali_ap.find(notte_ap); f != l.finali_ap.end())
    n.consuntivo_ap = f->second.camere;
  if (p.previsione_disponibile) {
    n.previsione = Prevista(l, p.camere_disponibili, p.giorno, notte);
    if (n.previsione && p.camere_disponibili > 0) {
      n.occupazione_prevista = *n.previsione / static_cast<double>(p.camere_disponibili);
    }
  }
  return n;
}

// The error of the forecast made kAnticipoErrore days before each of the last kNottiErrore
// nights, and of the books alone, against the finals.
ErrorePrevisione MisuraErrore(const Letture& l, const Pickup& p) {
  std::vector<std::pair<double, double>> previste, prenotate;
  for (Giorno notte = p.giorno - days(kNottiErrore); notte < p.giorno; notte += days(1)) {
    const auto finale = l.finali.find(notte);
    const Giorno allora = notte - days(kAnticipoErrore);
    const TotaleNotte* libro = Libro(l.totali, allora, notte);
    if (finale == l.finali.end() || finale->second.camere <= 0 || !libro) continue;
    const std::optional<double> f = Prevista(l, p.camere_disponibili, allora, notte);
    if (!f) continue;
    const double a = static_cast<double>(finale->second.camere);
    previste.emplace_back(*f, a);
    prenotate.emplace_back(static_cast<double>(libro->camere), a);
  }
  return {static_cast<int>(previste.size()), Mape(previste), Mape(prenotate)};
}

// The books of the coming nights in the snapshot of the day and in those kGiorniPickupSegmenti
// days before it (nullopt: no such snapshot).
using LibriPerGiorno = std::array<std::optional<std::vector<VoceLibri>>, 3>;

// The confirmed books of the nights up to `fine` by segment, and their pickup.
std::vector<SegmentoPickup> PerSegmento(const LibriPerGiorno& libri, Giorno fine,
                                        const std::vector<std::string>& ordine) {
  const auto posto = [&](const std::string& nome) {
    return std::pair(std::find(ordine.begin(), ordine.end(), nome) - ordine.begin(), nome);
  };
  const auto prima_di = [&](const std::string& a, const std::string& b) {
    return posto(a) < posto(b);
  };
  std::map<std::string, std::array<std::pair<int64_t, Valuta>, 3>, decltype(prima_di)> somme(
      prima_di);
  const std::vector<VoceLibri> nessuna;
  for (size_t k = 0; k < libri.size(); ++k) {
    for (const VoceLibri& v : libri[k] ? *libri[k] : nessuna) {
      if (v.opzionale || v.notte > fine) continue;
      auto& [camere, retta] = somme[v.segmento][k];
      camere += v.camere;
      retta += v.retta;
    }
  }
  std::vector<SegmentoPickup> elenco;
  for (const auto& [nome, per_giorno] : somme) {
    SegmentoPickup& s = elenco.emplace_back();
    s.segmento = nome;
    std::tie(s.camere, s.retta) = per_giorno[0];
    for (size_t k = 0; k < s.pickup.size(); ++k) {
      if (!libri[k + 1]) continue;
      s.pickup[k] = s.camere - per_giorno[k + 1].first;
      s.pickup_retta[k] = s.retta - per_giorno[k + 1].second;
    }
  }
  return elenco;
}

}  // namespace

Pickup CalcolaPickup(const ArchivioLibri& libri, Giorno giorno,
                     const std::vector<std::string>& ordine) {
  if (!libri.HaIstantanea(giorno)) {
    throw Errore("Nessuna istantanea dei libri del " + TestoData(giorno) + " in " +
                 libri.Percorso().string() +
                 ": eseguire vendrix-batch istantanea (o \"Calcola\") quel giorno, oppure "
                 "vendrix-batch istantanea --al " +
                 TestoData(giorno) + " sui file dell'hotel di quel giorno.");
  }
  Pickup p;
  p.giorno = giorno;
  p.camere_disponibili = libri.CamereDisponibili(giorno);
  const Giorno ultima = giorno + days(kNottiPickup - 1);
  const Letture letture = Leggi(libri, giorno, ultima);
  int64_t istantanee = 0;
  for (Giorno g : libri.Giorni()) istantanee += g <= giorno;
  p.previsione_disponibile =
      istantanee >= kGiorniMinimiPrevisione && libri.NumeroConsuntivi() >= kGiorniMinimiPrevisione;
  for (Giorno notte = giorno; notte <= ultima; notte += days(1)) {
    p.notti.push_back(Notte(letture, p, notte));
  }
  if (p.previsione_disponibile) p.errore = MisuraErrore(letture, p);

  LibriPerGiorno per_giorno;
  for (size_t k = 0; k < per_giorno.size(); ++k) {
    const Giorno allora = k == 0 ? giorno : giorno - days(kGiorniPickupSegmenti[k - 1]);
    if (libri.HaIstantanea(allora)) per_giorno[k] = libri.Libri(allora, giorno, ultima);
  }
  for (size_t o = 0; o < kOrizzontiPickup.size(); ++o) {
    p.segmenti[o] = PerSegmento(per_giorno, giorno + days(kOrizzontiPickup[o] - 1), ordine);
  }
  return p;
}

namespace {

constexpr char kNonDisponibile[] = "n.d.";
constexpr char kFormatoCamere[] = "0.0";

const char* const kIntestazioni[] = {"Data",
                                     "Camere prenotate",
                                     "Pickup 1 giorno",
                                     "Pickup 7 giorni",
                                     "Pickup 14 giorni",
                                     "Pickup 30 giorni",
                                     "Totale Retta prenotata",
                                     "Pickup Retta 7 giorni",
                                     "Stesso anticipo AP",
                                     "Consuntivo AP",
                                     "Previsione",
                                     "% occupazione prevista"};
constexpr int kColonne = 12;
constexpr int kRigaIntestazioni = 4;

const char* const kIntestazioniSegmenti[] = {
    "Segmento",        "Camere prenotate",      "Pickup camere 7 giorni", "Pickup camere 30 giorni",
    "Retta prenotata", "Pickup Retta 7 giorni", "Pickup Retta 30 giorni"};

std::string Percento(double x) {
  char testo[32];
  std::snprintf(testo, sizeof testo, "%.1f%%", 100 * x);
  std::string s = testo;
  std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

template <typename T>
void ScriviOpz(excel::Worksheet& f, int r, int c, const std::optional<T>& v,
               const char* formato = nullptr) {
  if (!v) {
    f.Cells(r, c) = kNonDisponibile;
    return;
  }
  f.Cells(r, c) = *v;
  if (formato) f.Range(Cella(r, c)).NumberFormat(formato);
}

void Intestazioni(excel::Worksheet& f, int riga, const char* const* testi, int quante) {
  for (int c = 1; c <= quante; ++c) f.Cells(riga, c) = testi[c - 1];
  f.Range(Cella(riga, 1), Cella(riga, quante)).FontBold();
  f.Range(Cella(riga, 1), Cella(riga, quante)).WrapText();
  f.Range(Cella(riga, 1)).RowHeight(45);
}

// Adds `b` to the sum `a`, which is n.d. once any term is.
template <typename T>
void Somma(std::optional<T>& a, const std::optional<T>& b) {
  if (a && b) {
    *a += *b;
  } else {
    a.reset();
  }
}

// The sums of the first `quante` nights, occupancy of `camere` rooms a night.
NottePickup Totale(const std::vector<NottePickup>& notti, int quante, int64_t camere) {
  NottePickup t;
  t.pickup.fill(0);
  t.pickup_retta_7 = Valuta();
  t.stesso_anticipo_ap = t.consuntivo_ap = 0;
  t.previsione = 0.0;
  for (int i = 0; i < quante; ++i) {
    const NottePickup& n = notti[i];
    t.camere += n.camere;
    t.retta += n.retta;
    for (size_t k = 0; k < n.pickup.size(); ++k) Somma(t.pickup[k], n.pickup[k]);
    Somma(t.pickup_retta_7, n.pickup_retta_7);
    Somma(t.stesso_anticipo_ap, n.stesso_anticipo_ap);
    Somma(t.consuntivo_ap, n.consuntivo_ap);
    Somma(t.previsione, n.previsione);
  }
  if (t.previsione && camere > 0) {
    t.occupazione_prevista = *t.previsione / static_cast<double>(camere * quante);
  }
  return t;
}

// One row of "Pickup": `etichetta`, then the figures of a night or of a sum of nights.
void RigaPickup(excel::Worksheet& f, int r, const std::string& etichetta, const NottePickup& n) {
  f.Cells(r, 1) = etichetta;
  f.Cells(r, 2) = n.camere;
  for (size_t i = 0; i < n.pickup.size(); ++i) {
    ScriviOpz(f, r, 3 + static_cast<int>(i), n.pickup[i]);
  }
  f.Cells(r, 7) = n.retta;
  ScriviOpz(f, r, 8, n.pickup_retta_7);
  ScriviOpz(f, r, 9, n.stesso_anticipo_ap);
  ScriviOpz(f, r, 10, n.consuntivo_ap);
  ScriviOpz(f, r, 11, n.previsione, kFormatoCamere);
  ScriviOpz(f, r, 12, n.occupazione_prevista, excel::kFormatoPercentuale);
}

// The line above the table: the forecast's measured error, or why there is none.
std::string TestoErrore(const Pickup& p) {
  if (!p.previsione_disponibile) {
    return "Previsione: n.d. (servono almeno " + std::to_string(kGiorniMinimiPrevisione) +
           " giorni di istantanee e di consuntivi)";
  }
  if (!p.errore.previsione) {
    return "Errore della previsione: n.d. (nessuna delle ultime " + std::to_string(kNottiErrore) +
           " notti si può misurare)";
  }
  return "Errore medio della previsione fatta " + std::to_string(kAnticipoErrore) +
         " giorni prima, sulle ultime " + std::to_string(kNottiErrore) + " notti passate (" +
         std::to_string(p.errore.notti) + " misurate): previsione " +
         Percento(*p.errore.previsione) + ", sole camere prenotate " + Percento(*p.errore.libri);
}

// The chart of the nights at row `riga` of `f`, from its numbers on `dati` (a sheet of its own:
// a chart reads numbers only, so it is empty where the table says "n.d.").
void GraficoPickup(excel::Worksheet& f, excel::Worksheet& dati, const Pickup& p, int riga) {
  const char* const intestazioni[] = {"Data", "Camere prenotate", "Previsione", "Consuntivo AP"};
  for (int c = 1; c <= 4; ++c) dati.Cells(1, c) = intestazioni[c - 1];
  dati.Range("A1:D1").FontBold();
  for (size_t i = 0; i < p.notti.size(); ++i) {
    const NottePickup& n = p.notti[i];
    const int r = 2 + static_cast<int>(i);
    dati.Cells(r, 1) = TestoData(n.notte);
    dati.Cells(r, 2) = n.camere;
    if (n.previsione) dati.Cells(r, 3) = std::round(*n.previsione * 10) / 10;
    if (n.consuntivo_ap) dati.Cells(r, 4) = *n.consuntivo_ap;
  }
  dati.Range("A1:D1").ColumnWidth(16);
  const int ultima = 1 + static_cast<int>(p.notti.size());
  excel::Grafico g;
  g.tipo = excel::TipoGrafico::kLinee;
  g.titolo = "Camere prenotate, previsione e consuntivo dell'anno precedente";
  g.titolo_categorie = "Notte";
  g.titolo_valori = "Camere";
  const excel::IntervalloFoglio date{dati.Name(), 2, 1, ultima, 1};
  for (int c = 2; c <= 4; ++c) {
    g.serie.push_back(
        {intestazioni[c - 1], date, excel::IntervalloFoglio{dati.Name(), 2, c, ultima, c}});
  }
  g.riga = riga;
  g.colonna = 1;
  g.larghezza = 960;
  g.altezza = 360;
  f.AggiungiGrafico(std::move(g));
}

void FoglioPickup(excel::Worksheet& f, excel::Worksheet& dati, const Pickup& p,
                  const std::string& hotel) {
  f.Cells(1, 1) = hotel + " - libri al " + TestoData(p.giorno) + " (camere confermate; " +
                  std::to_string(p.camere_disponibili) + " camere disponibili)";
  f.Range("A1").FontBold();
  f.Cells(2, 1) = TestoErrore(p);
  Intestazioni(f, kRigaIntestazioni, kIntestazioni, kColonne);
  int r = kRigaIntestazioni;
  for (const NottePickup& n : p.notti) RigaPickup(f, ++r, TestoData(n.notte), n);
  const int ultima = r;
  r += 1;
  for (int orizzonte : kOrizzontiPickup) {
    const int quante = std::min<int>(orizzonte, static_cast<int>(p.notti.size()));
    RigaPickup(f, ++r, "Prossimi " + std::to_string(orizzonte) + " giorni",
               Totale(p.notti, quante, p.camere_disponibili));
    f.Range(Cella(r, 1), Cella(r, kColonne)).FontBold();
  }
  GraficoPickup(f, dati, p, r + 2);

  f.FreezePanes(kRigaIntestazioni + 1, 2);
  f.AutoFilter(Cella(kRigaIntestazioni, 1) + ":" + Cella(ultima, kColonne));
  excel::ImpostazioniPagina& pagina = f.PageSetup();
  pagina.orizzontale = true;
  pagina.pagine_in_larghezza = 1;
  pagina.righe_ripetute = kRigaIntestazioni;
  f.Range(Cella(kRigaIntestazioni + 1, 7), Cella(r, 8)).NumberFormat(excel::kFormatoValuta);
  for (int c = 1; c <= kColonne; ++c) f.Range(Cella(1, c)).ColumnWidth(c == 1 ? 18 : 10);
  f.Range(Cella(1, 7)).ColumnWidth(14);
  f.Range(Cella(1, 8)).ColumnWidth(13);
}

// One row of "Pickup segmenti".
void RigaSegmento(excel::Worksheet& f, int r, const SegmentoPickup& s) {
  f.Cells(r, 1) = s.segmento;
  f.Cells(r, 2) = s.camere;
  ScriviOpz(f, r, 3, s.pickup[0]);
  ScriviOpz(f, r, 4, s.pickup[1]);
  f.Cells(r, 5) = s.retta;
  ScriviOpz(f, r, 6, s.pickup_retta[0]);
  ScriviOpz(f, r, 7, s.pickup_retta[1]);
}

void FoglioSegmenti(excel::Worksheet& f, const Pickup& p) {
  int r = 0;
  for (size_t o = 0; o < kOrizzontiPickup.size(); ++o) {
    r += 1;
    f.Cells(r, 1) = "Prossimi " + std::to_string(kOrizzontiPickup[o]) + " giorni dal " +
                    TestoData(p.giorno) + " (camere confermate)";
    f.Range(Cella(r, 1)).FontBold();
    Intestazioni(f, ++r, kIntestazioniSegmenti, 7);
    SegmentoPickup totale;
    totale.segmento = "Totale";
    for (size_t k = 0; k < totale.pickup.size() && !p.segmenti[o].empty(); ++k) {
      totale.pickup[k] = 0;
      totale.pickup_retta[k] = Valuta();
    }
    for (const SegmentoPickup& s : p.segmenti[o]) {
      RigaSegmento(f, ++r, s);
      totale.camere += s.camere;
      totale.retta += s.retta;
      for (size_t k = 0; k < totale.pickup.size(); ++k) {
        Somma(totale.pickup[k], s.pickup[k]);
        Somma(totale.pickup_retta[k], s.pickup_retta[k]);
      }
    }
    RigaSegmento(f, ++r, totale);
    f.Range(Cella(r, 1), Cella(r, 7)).FontBold();
    r += 1;
  }
  excel::ImpostazioniPagina& pagina = f.PageSetup();
  pagina.orizzontale = true;
  pagina.pagine_in_larghezza = 1;
  f.Range(Cella(1, 1)).ColumnWidth(18);
  for (int c = 2; c <= 7; ++c) f.Range(Cella(1, c)).ColumnWidth(13);
}

}  // namespace

std::string CreaReportPickup(const fs::path& cartella_hotel, const fs::path& cartella_excel,
                             Giorno giorno) {
  const fs::path hotel = CartellaAlbergo(cartella_hotel);
  Pickup p;
  {
    const ArchivioLibri libri(hotel, false);
    p = CalcolaPickup(libri, giorno, Segmenti::Leggi(hotel).Elenco());
  }
  const fs::path cartella = cartella_excel.is_absolute() ? cartella_excel : hotel / cartella_excel;
  std::error_code errore;
  fs::create_directories(cartella, errore);
  if (errore) {
    throw Errore("Impossibile creare la cartella " + cartella.string() + " (" +
                 TestoErroreSistema(errore) + ").");
  }
  const std::string chiave = ChiaveData(giorno);
  const std::string percorso = (cartella / ("REPORT_PICKUP_" + chiave + ".xlsx")).string();

  excel::Application app;
  excel::Workbook& cartella_lavoro = app.Workbooks().Add();
  excel::Worksheet& foglio = cartella_lavoro.Sheets(1);
  foglio.SetName("Pickup");
  const std::string nome_hotel = NomeHotel(hotel);
  excel::Worksheet& segmenti = cartella_lavoro.AggiungiFoglio("Pickup segmenti");
  FoglioPickup(foglio, cartella_lavoro.AggiungiFoglio("Dati grafico"), p, nome_hotel);
  FoglioSegmenti(segmenti, p);
  excel::ProprietaDocumento& proprieta = cartella_lavoro.BuiltinDocumentProperties();
  proprieta.titolo = "Pickup - " + nome_hotel;
  proprieta.soggetto = "Libri al " + TestoData(giorno);
  proprieta.applicazione = std::string("Vendrix ") + kVersione;

  BloccoCartella blocco(cartella, kFileBloccoExcel, BloccoCartella::Modo::kEsclusivo);
  cartella_lavoro.SaveAs(percorso);
  app.Quit();
  return percorso;
}

}  // namespace vendrix
