#include "reports/report_pickup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <system_error>

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
  // The nights and days the forecast and its error reach back to.
  const days indietro_notti(kNottiErrore + kAnticipoErrore + 7 * kSettimanePrevisione);
  const days indietro_giorni = indietro_notti + days(kNottiPickup);
  const Totali totali =
      libri.Totali(giorno - indietro_notti, ultima, giorno - indietro_giorni, giorno);
  const Finali finali = libri.Consuntivi(giorno - indietro_notti, giorno - days(1));
  const Giorno giorno_ap = UnAnnoPrima(giorno);
  const Totali totali_ap =
      libri.Totali(UnAnnoPrima(giorno), UnAnnoPrima(ultima), giorno_ap, giorno_ap);
  const Finali finali_ap = libri.Consuntivi(UnAnnoPrima(giorno), UnAnnoPrima(ultima));

  int64_t istantanee = 0;
  for (Giorno g : libri.Giorni()) istantanee += g <= giorno;
  p.previsione_disponibile =
      istantanee >= kGiorniMinimiPrevisione && libri.NumeroConsuntivi() >= kGiorniMinimiPrevisione;

  // A night cannot end with more rooms sold than the hotel has, nor with fewer than none: the
  // average pickup of past nights is bounded by both.
  const auto Prevedi = [&](Giorno allora, Giorno notte) -> std::optional<double> {
    std::optional<double> f = Previsione(totali, finali, allora, notte);
    if (f && p.camere_disponibili > 0) {
      f = std::min(*f, static_cast<double>(p.camere_disponibili));
    }
    if (f) f = std::max(*f, 0.0);
    return f;
  };

  for (Giorno notte = giorno; notte <= ultima; notte += days(1)) {
    NottePickup n;
    n.notte = notte;
    const TotaleNotte* oggi = Libro(totali, giorno, notte);
    n.camere = oggi->camere;
    n.retta = oggi->retta;
    for (size_t i = 0; i < kGiorniPickup.size(); ++i) {
      if (const TotaleNotte* prima = Libro(totali, giorno - days(kGiorniPickup[i]), notte)) {
        n.pickup[i] = n.camere - prima->camere;
        if (kGiorniPickup[i] == 7) n.pickup_retta_7 = n.retta - prima->retta;
      }
    }
    const Giorno notte_ap = UnAnnoPrima(notte);
    if (const TotaleNotte* ap = Libro(totali_ap, giorno_ap, notte_ap)) {
      n.stesso_anticipo_ap = ap->camere;
    }
    if (auto f = finali_ap.find(notte_ap); f != finali_ap.end()) n.consuntivo_ap = f->second.camere;
    if (p.previsione_disponibile) {
      n.previsione = Prevedi(giorno, notte);
      if (n.previsione && p.camere_disponibili > 0) {
        n.occupazione_prevista = *n.previsione / static_cast<double>(p.camere_disponibili);
      }
    }
    p.notti.push_back(n);
  }

  if (p.previsione_disponibile) {
    std::vector<std::pair<double, double>> previste, prenotate;
    for (Giorno notte = giorno - days(kNottiErrore); notte < giorno; notte += days(1)) {
      const auto finale = finali.find(notte);
      const Giorno allora = notte - days(kAnticipoErrore);
      const TotaleNotte* libro = Libro(totali, allora, notte);
      if (finale == finali.end() || finale->second.camere <= 0 || !libro) continue;
      const std::optional<double> f = Prevedi(allora, notte);
      if (!f) continue;
      const double a = static_cast<double>(finale->second.camere);
      previste.emplace_back(*f, a);
      prenotate.emplace_back(static_cast<double>(libro->camere), a);
    }
    p.errore.notti = static_cast<int>(previste.size());
    p.errore.previsione = Mape(previste);
    p.errore.libri = Mape(prenotate);
  }

  // Segments: the confirmed books of the coming nights in this snapshot and the earlier two.
  const std::vector<VoceLibri> voci = libri.Libri(giorno, giorno, ultima);
  const std::vector<VoceLibri> voci_7 = libri.Libri(giorno - days(7), giorno, ultima);
  const std::vector<VoceLibri> voci_30 = libri.Libri(giorno - days(30), giorno, ultima);
  const bool c_e_7 = libri.HaIstantanea(giorno - days(7));
  const bool c_e_30 = libri.HaIstantanea(giorno - days(30));
  for (size_t o = 0; o < kOrizzontiPickup.size(); ++o) {
    const Giorno fine = giorno + days(kOrizzontiPickup[o] - 1);
    auto posto = [&](const std::string& nome) {
      const auto it = std::find(ordine.begin(), ordine.end(), nome);
      return std::pair(it - ordine.begin(), nome);
    };
    auto prima_di = [&](const std::string& a, const std::string& b) { return posto(a) < posto(b); };
    std::map<std::string, SegmentoPickup, decltype(prima_di)> per_segmento(prima_di);
    auto aggiungi = [&](const std::vector<VoceLibri>& elenco, int quale) {
      for (const VoceLibri& v : elenco) {
        if (v.opzionale || v.notte > fine) continue;
        SegmentoPickup& s = per_segmento[v.segmento];
        s.segmento = v.segmento;
        if (quale == 0) {
          s.camere += v.camere;
          s.retta += v.retta;
        } else if (quale == 7) {
          s.pickup_7 = s.pickup_7.value_or(0) - v.camere;
          s.pickup_retta_7 = s.pickup_retta_7.value_or(Valuta()) - v.retta;
        } else {
          s.pickup_30 = s.pickup_30.value_or(0) - v.camere;
          s.pickup_retta_30 = s.pickup_retta_30.value_or(Valuta()) - v.retta;
        }
      }
    };
    aggiungi(voci, 0);
    aggiungi(voci_7, 7);
    aggiungi(voci_30, 30);
    for (auto& [nome, s] : per_segmento) {
      if (c_e_7) {
        s.pickup_7 = s.camere + s.pickup_7.value_or(0);
        s.pickup_retta_7 = s.retta + s.pickup_retta_7.value_or(Valuta());
      } else {
        s.pickup_7.reset();
        s.pickup_retta_7.reset();
      }
      if (c_e_30) {
        s.pickup_30 = s.camere + s.pickup_30.value_or(0);
        s.pickup_retta_30 = s.retta + s.pickup_retta_30.value_or(Valuta());
      } else {
        s.pickup_30.reset();
        s.pickup_retta_30.reset();
      }
      p.segmenti[o].push_back(s);
    }
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

// Sum of an optional column over nights: nullopt when any night has none.
template <typename T, typename Leggi>
std::optional<T> Somma(const std::vector<NottePickup>& notti, int quante, Leggi leggi) {
  T somma{};
  for (int i = 0; i < quante; ++i) {
    const std::optional<T> v = leggi(notti[i]);
    if (!v) return std::nullopt;
    somma += *v;
  }
  return somma;
}

void FoglioPickup(excel::Worksheet& f, excel::Worksheet& dati, const Pickup& p,
                  const std::string& hotel) {
  f.Cells(1, 1) = hotel + " - libri al " + TestoData(p.giorno) + " (camere confermate; " +
                  std::to_string(p.camere_disponibili) + " camere disponibili)";
  f.Range("A1").FontBold();
  std::string errore;
  if (!p.previsione_disponibile) {
    errore = "Previsione: n.d. (servono almeno " + std::to_string(kGiorniMinimiPrevisione) +
             " giorni di istantanee e di consuntivi)";
  } else if (!p.errore.previsione) {
    errore = "Errore della previsione: n.d. (nessuna delle ultime " + std::to_string(kNottiErrore) +
             " notti si può misurare)";
  } else {
    errore = "Errore medio della previsione fatta " + std::to_string(kAnticipoErrore) +
             " giorni prima, sulle ultime " + std::to_string(kNottiErrore) + " notti passate (" +
             std::to_string(p.errore.notti) + " misurate): previsione " +
             Percento(*p.errore.previsione) + ", sole camere prenotate " +
             Percento(*p.errore.libri);
  }
  f.Cells(2, 1) = errore;
  Intestazioni(f, kRigaIntestazioni, kIntestazioni, kColonne);
  int r = kRigaIntestazioni;
  for (const NottePickup& n : p.notti) {
    ++r;
    f.Cells(r, 1) = TestoData(n.notte);
    f.Cells(r, 2) = n.camere;
    for (size_t i = 0; i < n.pickup.size(); ++i)
      ScriviOpz(f, r, 3 + static_cast<int>(i), n.pickup[i]);
    f.Cells(r, 7) = n.retta;
    ScriviOpz(f, r, 8, n.pickup_retta_7);
    ScriviOpz(f, r, 9, n.stesso_anticipo_ap);
    ScriviOpz(f, r, 10, n.consuntivo_ap);
    ScriviOpz(f, r, 11, n.previsione, kFormatoCamere);
    ScriviOpz(f, r, 12, n.occupazione_prevista, excel::kFormatoPercentuale);
  }
  const int ultima = r;
  r += 1;
  for (int orizzonte : kOrizzontiPickup) {
    ++r;
    const int quante = std::min<int>(orizzonte, static_cast<int>(p.notti.size()));
    f.Cells(r, 1) = "Prossimi " + std::to_string(orizzonte) + " giorni";
    f.Range(Cella(r, 1), Cella(r, kColonne)).FontBold();
    f.Cells(r, 2) = *Somma<int64_t>(
        p.notti, quante, [](const NottePickup& n) { return std::optional<int64_t>(n.camere); });
    for (size_t i = 0; i < kGiorniPickup.size(); ++i) {
      ScriviOpz(f, r, 3 + static_cast<int>(i),
                Somma<int64_t>(p.notti, quante, [i](const NottePickup& n) { return n.pickup[i]; }));
    }
    f.Cells(r, 7) = *Somma<Valuta>(
        p.notti, quante, [](const NottePickup& n) { return std::optional<Valuta>(n.retta); });
    ScriviOpz(f, r, 8, Somma<Valuta>(p.notti, quante, [](const NottePickup& n) {
                return n.pickup_retta_7;
              }));
    ScriviOpz(f, r, 9, Somma<int64_t>(p.notti, quante, [](const NottePickup& n) {
                return n.stesso_anticipo_ap;
              }));
    ScriviOpz(f, r, 10, Somma<int64_t>(p.notti, quante, [](const NottePickup& n) {
                return n.consuntivo_ap;
              }));
    const std::optional<double> prevista =
        Somma<double>(p.notti, quante, [](const NottePickup& n) { return n.previsione; });
    ScriviOpz(f, r, 11, prevista, kFormatoCamere);
    std::optional<double> occupazione;
    if (prevista && p.camere_disponibili > 0) {
      occupazione = *prevista / static_cast<double>(p.camere_disponibili * quante);
    }
    ScriviOpz(f, r, 12, occupazione, excel::kFormatoPercentuale);
  }

  // The chart reads numbers only: a sheet of its own, empty where the table says "n.d.".
  dati.Cells(1, 1) = "Data";
  dati.Cells(1, 2) = "Camere prenotate";
  dati.Cells(1, 3) = "Previsione";
  dati.Cells(1, 4) = "Consuntivo AP";
  dati.Range("A1:D1").FontBold();
  for (size_t i = 0; i < p.notti.size(); ++i) {
    const NottePickup& n = p.notti[i];
    const int riga = 2 + static_cast<int>(i);
    dati.Cells(riga, 1) = TestoData(n.notte);
    dati.Cells(riga, 2) = n.camere;
    if (n.previsione) dati.Cells(riga, 3) = std::round(*n.previsione * 10) / 10;
    if (n.consuntivo_ap) dati.Cells(riga, 4) = *n.consuntivo_ap;
  }
  dati.Range("A1:D1").ColumnWidth(16);
  const int ultima_dati = 1 + static_cast<int>(p.notti.size());
  excel::Grafico g;
  g.tipo = excel::TipoGrafico::kLinee;
  g.titolo = "Camere prenotate, previsione e consuntivo dell'anno precedente";
  g.titolo_categorie = "Notte";
  g.titolo_valori = "Camere";
  const excel::IntervalloFoglio date{dati.Name(), 2, 1, ultima_dati, 1};
  for (int c = 2; c <= 4; ++c) {
    g.serie.push_back({dati.Cells(1, c).Value().Testo(), date,
                       excel::IntervalloFoglio{dati.Name(), 2, c, ultima_dati, c}});
  }
  g.riga = r + 2;
  g.colonna = 1;
  g.larghezza = 960;
  g.altezza = 360;
  f.AggiungiGrafico(std::move(g));

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

void FoglioSegmenti(excel::Worksheet& f, const Pickup& p) {
  int r = 0;
  for (size_t o = 0; o < kOrizzontiPickup.size(); ++o) {
    r += 1;
    f.Cells(r, 1) = "Prossimi " + std::to_string(kOrizzontiPickup[o]) + " giorni dal " +
                    TestoData(p.giorno) + " (camere confermate)";
    f.Range(Cella(r, 1)).FontBold();
    Intestazioni(f, ++r, kIntestazioniSegmenti, 7);
    SegmentoPickup totale{.segmento = "Totale"};
    bool con_7 = true, con_30 = true;
    for (const SegmentoPickup& s : p.segmenti[o]) {
      ++r;
      f.Cells(r, 1) = s.segmento;
      f.Cells(r, 2) = s.camere;
      ScriviOpz(f, r, 3, s.pickup_7);
      ScriviOpz(f, r, 4, s.pickup_30);
      f.Cells(r, 5) = s.retta;
      ScriviOpz(f, r, 6, s.pickup_retta_7);
      ScriviOpz(f, r, 7, s.pickup_retta_30);
      totale.camere += s.camere;
      totale.retta += s.retta;
      con_7 = con_7 && s.pickup_7;
      con_30 = con_30 && s.pickup_30;
      if (s.pickup_7) {
        totale.pickup_7 = totale.pickup_7.value_or(0) + *s.pickup_7;
        totale.pickup_retta_7 = totale.pickup_retta_7.value_or(Valuta()) + *s.pickup_retta_7;
      }
      if (s.pickup_30) {
        totale.pickup_30 = totale.pickup_30.value_or(0) + *s.pickup_30;
        totale.pickup_retta_30 = totale.pickup_retta_30.value_or(Valuta()) + *s.pickup_retta_30;
      }
    }
    if (!con_7 || p.segmenti[o].empty()) totale.pickup_7.reset(), totale.pickup_retta_7.reset();
    if (!con_30 || p.segmenti[o].empty()) totale.pickup_30.reset(), totale.pickup_retta_30.reset();
    ++r;
    f.Cells(r, 1) = "Totale";
    f.Cells(r, 2) = totale.camere;
    ScriviOpz(f, r, 3, totale.pickup_7);
    ScriviOpz(f, r, 4, totale.pickup_30);
    f.Cells(r, 5) = totale.retta;
    ScriviOpz(f, r, 6, totale.pickup_retta_7);
    ScriviOpz(f, r, 7, totale.pickup_retta_30);
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
