// The daily workbook beyond its sheet "Data": the totals of "Data", the sheets "Mesi" and
// "Riepilogo", the charts of the period, and last year beside them when asked.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

#include "comune/date.h"
#include "comune/richiesta.h"
#include "comune/versione.h"
#include "data/errore.h"
#include "reports/completa_report.h"
#include "reports/descrizione_fogli.h"
#include "reports/valori_report.h"

namespace vendrix {

namespace {

using excel::ValoreCella;
using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

const DescrizioneFoglio kDescrizioneRiepilogo{
    "Riepilogo",
    {
        {"Voce", Genere::kEtichetta, "", 26},
        {"Valore", Genere::kEtichetta, "", 14},
        {"Quota su Totale Retta", Genere::kEtichetta, excel::kFormatoPercentuale, 12},
    }};
const DescrizioneFoglio kDescrizioneRiepilogoConfronto{
    "Riepilogo", [] {
      std::vector<Colonna> colonne = kDescrizioneRiepilogo.colonne;
      colonne.insert(colonne.end(), {
                                        {"Anno precedente", Genere::kAnnoPrecedente, "", 14},
                                        {"Variazione", Genere::kAnnoPrecedente, "", 12},
                                        {"Quota anno precedente", Genere::kAnnoPrecedente,
                                         excel::kFormatoPercentuale, 12},
                                        {"Variazione quota", Genere::kAnnoPrecedente, "", 12},
                                    });
      return colonne;
    }()};

// A figure of last year that has no statistics to come from.
constexpr const char* kNonDisponibile = "n.d.";

// Writes "n.d." into a cell of last year's, aligned as the figures are.
void ScriviNonDisponibile(excel::Worksheet& foglio, int riga, int colonna) {
  foglio.Cells(riga, colonna) = kNonDisponibile;
  foglio.Range(Cella(riga, colonna)).AllineaADestra();
}

// Writes into `destinazione` of `riga` the change of the figure in column `attuale` against last
// year's in `passata`: in percentage points, or relative (left empty against a last year of 0).
void ScriviVariazione(excel::Worksheet& foglio, int riga, int destinazione, int attuale,
                      int passata, bool in_punti) {
  const double x = foglio.Cells(riga, attuale).Value().Numero();
  const double y = foglio.Cells(riga, passata).Value().Numero();
  const std::string a = Cella(riga, attuale), p = Cella(riga, passata);
  if (!in_punti && y == 0) return;
  foglio.Range(Cella(riga, destinazione))
      .NumberFormat(in_punti ? kFormatoPuntiPercentuali : kFormatoVariazioneRelativa);
  if (in_punti) {
    foglio.Cells(riga, destinazione).SetFormula("(" + a + "-" + p + ")*100", (x - y) * 100);
  } else {
    foglio.Cells(riga, destinazione)
        .SetFormula("IF(" + p + "=0,\"\"," + a + "/" + p + "-1)", x / y - 1);
  }
}

// The columns of last year's figures and of the changes on "Mesi", found by heading once.
struct ColonneConfronto {
  int vendute, occupazione, adr, revpar, retta;
  struct Variazione {
    int colonna, attuale, passata;
    bool in_punti;
  };
  std::vector<Variazione> variazioni;
};

// The columns of the comparison as kDescrizioneMesiConfronto lays them out.
ColonneConfronto ColonneDelConfronto() {
  const DescrizioneFoglio& d = kDescrizioneMesiConfronto;
  ColonneConfronto k{
      d.Indice("Camere vendute AP"), d.Indice("% occupazione AP"), d.Indice("ADR AP"),
      d.Indice("RevPar AP"),         d.Indice("Totale Retta AP"),  {}};
  for (const ColonnaVariazione& v : kVariazioniMesi) {
    k.variazioni.push_back(
        {d.Indice(v.intestazione), d.Indice(v.attuale), d.Indice(v.anno_precedente), v.in_punti});
  }
  return k;
}

// A month as a date typed "MM/YYYY" becomes: its first day.
ValoreCella DataMese(const year_month_day& giorno) {
  return SerialeData(sys_days(giorno.year() / giorno.month() / 1));
}

// A calendar month the period touches: the rows of its first and last day on a day sheet.
struct MeseDelPeriodo {
  year_month_day giorno;
  int prima, fine;
};

std::vector<MeseDelPeriodo> MesiDelPeriodo(const PeriodoReport& periodo) {
  std::vector<MeseDelPeriodo> mesi;
  const sys_days primo = periodo.giorno_dal;
  int64_t inizio = 0;  // index of the month's first day
  for (int64_t i = 0; i < periodo.giorni_periodo; ++i) {
    const year_month_day giorno(primo + days(i));
    const bool ultimo = i + 1 == periodo.giorni_periodo ||
                        year_month_day(primo + days(i + 1)).month() != giorno.month();
    if (!ultimo) continue;
    // Day i stands on row i + 2 of a day sheet.
    mesi.push_back({giorno, static_cast<int>(inizio + 2), static_cast<int>(i + 2)});
    inizio = i + 1;
  }
  return mesi;
}

// Last year's figures of one row of "Mesi": rooms sold and room revenue as given, with the free
// rooms (an expression and its value) that make up the room nights available with the rooms
// sold; the ratios worked out from them as on the row's own columns.
void ScriviFigureAnnoPrecedente(excel::Worksheet& mesi, const ColonneConfronto& k, int riga,
                                const Somma& vendute, const Somma& retta, const std::string& libere,
                                int64_t valore_libere) {
  const std::string v = Cella(riga, k.vendute), t = Cella(riga, k.retta);
  mesi.Cells(riga, k.vendute).SetFormula(vendute.formula, vendute.valore);
  mesi.Cells(riga, k.retta).SetFormula(retta.formula, retta.valore);
  const std::string capacita = "(" + libere + "+" + v + ")";
  const int64_t camere = vendute.valore.ComeIntero();
  const int64_t valore_capacita = valore_libere + camere;
  const Valuta importo = retta.valore.ComeValuta();
  mesi.Cells(riga, k.occupazione)
      .SetFormula(QuotaDi(v, capacita), Frazione(camere, valore_capacita));
  mesi.Cells(riga, k.adr).SetFormula(ImportoPer(t, v), ImportoDiviso(importo, camere));
  mesi.Cells(riga, k.revpar)
      .SetFormula(ImportoPer(t, capacita), ImportoDiviso(importo, valore_capacita));
}

// The changes of row `riga` of "Mesi" against last year; "n.d." when last year has no
// statistics.
void ScriviVariazioniMesi(excel::Worksheet& mesi, const ColonneConfronto& k, int riga,
                          bool non_disponibile) {
  for (const ColonneConfronto::Variazione& v : k.variazioni) {
    if (non_disponibile) {
      ScriviNonDisponibile(mesi, riga, v.colonna);
    } else {
      ScriviVariazione(mesi, riga, v.colonna, v.attuale, v.passata, v.in_punti);
    }
  }
}

// "Mesi": one row per calendar month the period touches, over that month's days on "Data";
// with `data_ap`, last year's figures of the same month from its days on that sheet, whose
// "Totale" row is `totale_ap`. Returns the last month row.
int ScriviMesi(excel::Worksheet& mesi, excel::Worksheet& data, const PeriodoReport& periodo,
               const ConfrontoReport& confronto, excel::Worksheet* data_ap, int totale_ap,
               bool ap_senza_statistiche) {
  const DescrizioneFoglio& d = confronto.chiesto ? kDescrizioneMesiConfronto : kDescrizioneMesi;
  ScriviIntestazioni(mesi, d);
  const std::vector<MeseDelPeriodo> mesi_periodo = MesiDelPeriodo(periodo);
  // One year back every day keeps its month, so the months pair up in order.
  const std::vector<MeseDelPeriodo> mesi_ap =
      data_ap != nullptr ? MesiDelPeriodo(confronto.periodo) : std::vector<MeseDelPeriodo>{};
  const bool con_ap = data_ap != nullptr && mesi_ap.size() == mesi_periodo.size();
  const ColonneConfronto k = ColonneDelConfronto();
  const int libere = kDescrizioneData.Indice(Genere::kLibere);
  const int occupate = kDescrizioneData.Indice(Genere::kOccupate);
  const int retta = kDescrizioneData.Indice(Genere::kRetta);
  int riga = 1;
  for (size_t m = 0; m < mesi_periodo.size(); ++m) {
    const MeseDelPeriodo& mese = mesi_periodo[m];
    std::map<int, Somma> somme;
    // The months' own columns are laid out as "Data".
    for (int c = 2; c <= d.NumeroColonne(); ++c) {
      const Genere genere = d.colonne[c - 1].genere;
      if (!ESomma(genere)) continue;
      somme[c] = {
          "SUM(" + CellaDi(kDescrizioneData.nome, mese.prima, c) + ":" + Cella(mese.fine, c) + ")",
          SommaEsatta(data, c, mese.prima, mese.fine, genere)};
    }
    ++riga;
    ScriviRigaSintesi(mesi, d, riga, DataMese(mese.giorno), somme, 0, false);
    if (!con_ap) continue;
    const MeseDelPeriodo& ap = mesi_ap[m];
    auto somma_ap = [&](int c, Genere genere) {
      return Somma{"SUM(" + CellaDi(data_ap->Name(), ap.prima, c) + ":" + Cella(ap.fine, c) + ")",
                   SommaEsatta(*data_ap, c, ap.prima, ap.fine, genere)};
    };
    const Somma libere_ap = somma_ap(libere, Genere::kLibere);
    ScriviFigureAnnoPrecedente(mesi, k, riga, somma_ap(occupate, Genere::kOccupate),
                               somma_ap(retta, Genere::kRetta), libere_ap.formula,
                               libere_ap.valore.ComeIntero());
    ScriviVariazioniMesi(mesi, k, riga, ap_senza_statistiche);
  }
  const int totale = ScriviTotale(mesi, d, riga);
  if (con_ap) {
    auto subtotale = [&](int c, Genere genere) {
      return Somma{"SUBTOTAL(109," + Cella(2, c) + ":" + Cella(riga, c) + ")",
                   SommaEsatta(mesi, c, 2, riga, genere)};
    };
    // The free rooms of every month are those of last year's "Totale".
    ScriviFigureAnnoPrecedente(mesi, k, totale, subtotale(k.vendute, Genere::kOccupate),
                               subtotale(k.retta, Genere::kRetta),
                               CellaDi(data_ap->Name(), totale_ap, libere),
                               data_ap->Cells(totale_ap, libere).Value().ComeIntero());
    ScriviVariazioniMesi(mesi, k, totale, ap_senza_statistiche);
  }
  RifinisciFoglio(mesi, d, riga, d.NumeroColonne());
  return riga;
}

// How a figure of "Riepilogo" is set against last year's.
enum class Variazione { kNessuna, kRelativa, kPunti };

// One line of "Riepilogo": its value and how it is shown.
struct Voce {
  std::string etichetta;
  std::string formula;  // empty: a plain value
  ValoreCella valore;
  std::string formato;
  Variazione variazione = Variazione::kNessuna;
  bool a_destra = false;  // a text among figures, aligned as they are
};

// What the top lines of "Riepilogo" say of one column: this year or last year.
struct TestaRiepilogo {
  std::string hotel;  // empty for last year's column
  const PeriodoReport* periodo = nullptr;
  bool con_tipi = false;
  std::string tipi_soggiorno;
  std::string creato_il;
  NottiConStatistiche notti;
  bool senza_statistiche = false;  // last year with none: its figures are not available
  int righe_avviso = 0;            // lines kept empty above the figures for the warnings
};

// The first or last night with statistics as a line of "Riepilogo".
Voce VoceNotte(const char* etichetta, const std::optional<Giorno>& notte, bool non_disponibile) {
  if (notte) return {etichetta, "", SerialeData(*notte), kFormatoData};
  return {etichetta,
          "",
          ValoreCella(non_disponibile ? kNonDisponibile : "nessuna"),
          "",
          Variazione::kNessuna,
          true};
}

// Replaces each "{line}" of the lines' formulas by the cell in column `colonna` of the line of
// that name, the lines standing from row 2.
void RisolviRiferimenti(std::vector<Voce>& voci, int colonna) {
  for (Voce& v : voci) {
    for (size_t a; (a = v.formula.find('{')) != std::string::npos;) {
      const size_t fine = v.formula.find('}', a);
      const std::string nome = v.formula.substr(a + 1, fine - a - 1);
      const auto riga = std::find_if(voci.begin(), voci.end(),
                                     [&](const Voce& w) { return w.etichetta == nome; });
      v.formula.replace(a, fine - a + 1, Cella(static_cast<int>(riga - voci.begin()) + 2, colonna));
    }
  }
}

// The lines of "Riepilogo" as column `colonna` gives them, from the "Totale" row `totale` of the
// day sheet `data` (laid out as "Data"), headed by `testa`. Returns the lines and sets
// `prima_trattamento` to the index of the first line of the board mix and `prima_cifra` to that
// of the first figure the statistics give.
std::vector<Voce> VociRiepilogo(excel::Worksheet& data, int totale, int colonna,
                                const TestaRiepilogo& testa, size_t& prima_trattamento,
                                size_t& prima_cifra) {
  const PeriodoReport& periodo = *testa.periodo;
  const DescrizioneFoglio& d = kDescrizioneData;
  auto di_data = [&](Genere g) { return CellaDi(data.Name(), totale, d.Indice(g)); };
  auto valore = [&](int c) { return data.Cells(totale, c).Value(); };
  const int64_t disponibili = valore(d.Indice(Genere::kLibere)).ComeIntero() +
                              valore(d.Indice(Genere::kOccupate)).ComeIntero();
  const int64_t vendute = valore(d.Indice(Genere::kOccupate)).ComeIntero();
  const Valuta retta = valore(d.Indice(Genere::kRetta)).ComeValuta();
  const int colonna_extra = d.Indice("Extra");
  const Valuta extra = valore(colonna_extra).ComeValuta();
  const Valuta senza_extra = retta - extra;
  const int64_t ospiti = valore(d.Indice(Genere::kOspiti)).ComeIntero();

  std::vector<Voce> voci;
  voci.push_back({"Hotel", "", testa.hotel.empty() ? ValoreCella() : testa.hotel, ""});
  voci.push_back({"Periodo", "", ValoreCella(periodo.dal + " - " + periodo.al), ""});
  if (testa.con_tipi) voci.push_back({"Tipi di soggiorno", "", testa.tipi_soggiorno, ""});
  voci.push_back({"Creato il", "", testa.creato_il.empty() ? ValoreCella() : testa.creato_il, ""});
  voci.push_back(
      VoceNotte("Prima notte con statistiche", testa.notti.prima, testa.senza_statistiche));
  voci.push_back(
      VoceNotte("Ultima notte con statistiche", testa.notti.ultima, testa.senza_statistiche));
  for (int i = 0; i < testa.righe_avviso; ++i) voci.push_back({"", "", ValoreCella(), ""});
  const char* euro = excel::kFormatoValuta;
  const Variazione relativa = Variazione::kRelativa;
  voci.push_back({"Giorni", "", ValoreCella(periodo.giorni_periodo), "0", relativa});
  voci.push_back({"Camere disponibili", di_data(Genere::kLibere) + "+" + di_data(Genere::kOccupate),
                  ValoreCella(disponibili), "#,##0", relativa});
  prima_cifra = voci.size();
  voci.push_back(
      {"Camere vendute", di_data(Genere::kOccupate), ValoreCella(vendute), "#,##0", relativa});
  voci.push_back({"% occupazione", QuotaDi("{Camere vendute}", "{Camere disponibili}"),
                  ValoreCella(Frazione(vendute, disponibili)), excel::kFormatoPercentuale,
                  Variazione::kPunti});
  voci.push_back({"ADR", ImportoPer("{Totale Retta}", "{Camere vendute}"),
                  ValoreCella(ImportoDiviso(retta, vendute)), euro, relativa});
  voci.push_back({"RevPar", ImportoPer("{Totale Retta}", "{Camere disponibili}"),
                  ValoreCella(ImportoDiviso(retta, disponibili)), euro, relativa});
  voci.push_back({"Totale Retta", di_data(Genere::kRetta), ValoreCella(retta), euro, relativa});
  voci.push_back({"di cui Extra", CellaDi(data.Name(), totale, colonna_extra), ValoreCella(extra),
                  euro, relativa});
  voci.push_back({"Retta senza extra", "{Totale Retta}-{di cui Extra}", ValoreCella(senza_extra),
                  euro, relativa});
  voci.push_back({"ADR senza extra", ImportoPer("{Retta senza extra}", "{Camere vendute}"),
                  ValoreCella(ImportoDiviso(senza_extra, vendute)), euro, relativa});
  voci.push_back({"RevPar senza extra", ImportoPer("{Retta senza extra}", "{Camere disponibili}"),
                  ValoreCella(ImportoDiviso(senza_extra, disponibili)), euro, relativa});
  voci.push_back({"Ospiti", di_data(Genere::kOspiti), ValoreCella(ospiti), "#,##0", relativa});
  voci.push_back({"Entrata media per ospite", ImportoPer("{Totale Retta}", "{Ospiti}"),
                  ValoreCella(ImportoDiviso(retta, ospiti)), euro, relativa});
  prima_trattamento = voci.size();
  for (const char* trattamento : kTrattamenti) {
    const int c = d.Indice(trattamento);
    voci.push_back(
        {trattamento, CellaDi(data.Name(), totale, c), valore(c).ComeValuta(), euro, relativa});
  }
  RisolviRiferimenti(voci, colonna);
  return voci;
}

// Writes a line's value in column `colonna` of `riga`.
void ScriviVoce(excel::Worksheet& foglio, int riga, int colonna, const Voce& v) {
  if (!v.formato.empty()) foglio.Range(Cella(riga, colonna)).NumberFormat(v.formato);
  if (v.formula.empty()) {
    // A text is kept as written: a period is no number.
    if (v.valore.Tipo() == excel::TipoCella::kTesto) {
      foglio.Range(Cella(riga, colonna)).NumberFormat(excel::kFormatoTesto);
    }
    foglio.Cells(riga, colonna) = v.valore;
  } else {
    foglio.Cells(riga, colonna).SetFormula(v.formula, v.valore);
  }
  if (v.a_destra) foglio.Range(Cella(riga, colonna)).AllineaADestra();
}

// Writes the share of Totale Retta of the amount in column `colonna` of `riga` into
// `destinazione`; `totale` is the cell of Totale Retta.
void ScriviQuota(excel::Worksheet& foglio, int riga, int colonna, int destinazione,
                 const std::string& totale, Valuta parte, Valuta retta) {
  const double quota = retta == Valuta{} ? 0.0 : parte.ComeDouble() / retta.ComeDouble();
  foglio.Range(Cella(riga, destinazione)).NumberFormat(excel::kFormatoPercentuale);
  foglio.Cells(riga, destinazione).SetFormula(QuotaDi(Cella(riga, colonna), totale), quota);
}

// The period by day of the week, Monday to Sunday, from the days of `data` (laid out as "Data"),
// with its headings on row `riga`: nights, rooms sold, occupancy, ADR, RevPar and room revenue.
// Returns its last column.
int ScriviGiorniSettimana(excel::Worksheet& foglio, excel::Worksheet& data, int riga,
                          const PeriodoReport& periodo) {
  static constexpr const char* kGiorni[] = {"lunedì",  "martedì", "mercoledì", "giovedì",
                                            "venerdì", "sabato",  "domenica"};
  static constexpr const char* kIntestazioni[] = {"Giorno della settimana",
                                                  "Notti",
                                                  "Camere vendute",
                                                  "% occupazione",
                                                  "ADR",
                                                  "RevPar",
                                                  "Totale Retta"};
  const DescrizioneFoglio& d = kDescrizioneData;
  const int ultimo = static_cast<int>(periodo.giorni_periodo) + 1;
  const int libere = d.Indice(Genere::kLibere), occupate = d.Indice(Genere::kOccupate),
            retta = d.Indice(Genere::kRetta);
  struct Somme {
    int64_t notti = 0, vendute = 0, capacita = 0;
    Valuta retta;
  } somme[7];
  for (int r = 2; r <= ultimo; ++r) {
    const std::chrono::weekday giorno(periodo.giorno_dal + days(r - 2));
    Somme& s = somme[giorno.iso_encoding() - 1];
    const int64_t vendute = data.Cells(r, occupate).Value().ComeIntero();
    ++s.notti;
    s.vendute += vendute;
    s.capacita += data.Cells(r, libere).Value().ComeIntero() + vendute;
    s.retta += data.Cells(r, retta).Value().ComeValuta();
  }
  auto colonna = [&](int c) {
    return "'" + d.nome + "'!$" + LettereColonna(c) + "$2:$" + LettereColonna(c) + "$" +
           std::to_string(ultimo);
  };
  const std::string date = colonna(1);
  for (int c = 1; c <= 7; ++c) foglio.Cells(riga, c) = kIntestazioni[c - 1];
  foglio.Range(Cella(riga, 1), Cella(riga, 7)).FontBold();
  for (int g = 0; g < 7; ++g) {
    const int r = riga + 1 + g;
    const Somme& s = somme[g];
    const std::string condizione = "(WEEKDAY(" + date + ",2)=" + std::to_string(g + 1) + ")";
    const std::string capacita =
        "SUMPRODUCT(" + condizione + "*(" + colonna(libere) + "+" + colonna(occupate) + "))";
    const std::string b = Cella(r, 2), c = Cella(r, 3), g_ = Cella(r, 7);
    foglio.Cells(r, 1) = kGiorni[g];
    foglio.Range(Cella(r, 2), Cella(r, 3)).NumberFormat("#,##0");
    foglio.Cells(r, 2).SetFormula("SUMPRODUCT(--" + condizione + ")", s.notti);
    foglio.Cells(r, 3).SetFormula("SUMPRODUCT(" + condizione + "*" + colonna(occupate) + ")",
                                  s.vendute);
    foglio.Range(Cella(r, 4)).NumberFormat(excel::kFormatoPercentuale);
    foglio.Cells(r, 4).SetFormula(QuotaDi(c, capacita), Frazione(s.vendute, s.capacita));
    foglio.Range(Cella(r, 5), Cella(r, 7)).NumberFormat(excel::kFormatoValuta);
    foglio.Cells(r, 5).SetFormula(ImportoPer(g_, c), ImportoDiviso(s.retta, s.vendute));
    foglio.Cells(r, 6).SetFormula(ImportoPer(g_, capacita), ImportoDiviso(s.retta, s.capacita));
    foglio.Cells(r, 7).SetFormula("SUMPRODUCT(" + condizione + "*" + colonna(retta) + ")", s.retta);
  }
  return 7;
}

// Months between two labels of a date axis over the period: one, unless that gives more than two
// years of labels, which would run together; then a quarter, half a year, a year and so on.
int PassoMesi(const PeriodoReport& periodo) {
  const int64_t mesi = periodo.giorni_periodo / 30 + 1;
  for (int passo : {1, 2, 3, 6, 12, 24, 60}) {
    if (mesi <= 24 * passo) return passo;
  }
  return 120;
}

// The warnings above the figures of "Riepilogo": a period that runs well beyond the nights with
// statistics, and last year counting other kinds of stay than this year.
std::vector<std::string> AvvisiRiepilogo(const PeriodoReport& periodo,
                                         const std::string& tipi_soggiorno,
                                         const ConfrontoReport& confronto,
                                         bool con_anno_precedente) {
  std::vector<std::string> avvisi;
  const NottiConStatistiche& notti = periodo.notti;
  if (!notti.prima) {
    avvisi.push_back("Attenzione: nessuna notte del periodo ha statistiche.");
  } else {
    // Nights outside the statistics count as unsold in every ratio: a few days are the usual
    // edges of a period, more than a month and a quarter of it is a period chosen too wide.
    const int64_t fuori =
        (*notti.prima - periodo.giorno_dal).count() + (periodo.giorno_al - *notti.ultima).count();
    if (fuori > 31 && fuori * 4 > periodo.giorni_periodo) {
      avvisi.push_back("Attenzione: le statistiche coprono solo le notti " +
                       TestoPeriodo(*notti.prima, *notti.ultima) +
                       "; occupazione e RevPar sono calcolate sull'intero periodo.");
    }
  }
  if (con_anno_precedente && !tipi_soggiorno.empty() &&
      tipi_soggiorno != confronto.tipi_soggiorno) {
    avvisi.push_back("Attenzione: quest'anno si contano " + tipi_soggiorno +
                     ", l'anno precedente i soggiorni effettivi (" + confronto.tipi_soggiorno +
                     "): il confronto non è alla pari.");
  }
  return avvisi;
}

// The lines of "Riepilogo" of this year and, with `voci_ap` not empty, of last year beside them.
struct VociDelRiepilogo {
  std::vector<Voce> voci, voci_ap;
  size_t prima_trattamento = 0, prima_cifra = 0;  // as VociRiepilogo sets them
  bool ap_senza_statistiche = false;              // last year without a single statistic: "n.d."
};

// Writes the lines from row 2: this year's with the shares of the board mix in Totale Retta and,
// beside them, last year's with the changes.
void ScriviVoci(excel::Worksheet& foglio, const VociDelRiepilogo& l) {
  const DescrizioneFoglio& d = kDescrizioneRiepilogoConfronto;
  const int valore = d.Indice("Valore"), quota = d.Indice("Quota su Totale Retta"),
            anno_precedente = d.Indice("Anno precedente"), variazione = d.Indice("Variazione"),
            quota_ap = d.Indice("Quota anno precedente"),
            variazione_quota = d.Indice("Variazione quota");
  // The cells of Totale Retta, this year's and last year's.
  std::string retta, retta_ap;
  Valuta valore_retta, valore_retta_ap;
  for (size_t i = 0; i < l.voci.size(); ++i) {
    if (l.voci[i].etichetta != "Totale Retta") continue;
    retta = Cella(static_cast<int>(i) + 2, valore);
    valore_retta = l.voci[i].valore.ComeValuta();
    retta_ap = Cella(static_cast<int>(i) + 2, anno_precedente);
    if (!l.voci_ap.empty()) valore_retta_ap = l.voci_ap[i].valore.ComeValuta();
  }
  for (size_t i = 0; i < l.voci.size(); ++i) {
    const int riga = static_cast<int>(i) + 2;
    const Voce& v = l.voci[i];
    foglio.Cells(riga, 1) = v.etichetta;
    ScriviVoce(foglio, riga, valore, v);
    const bool trattamento = i >= l.prima_trattamento;
    if (trattamento) {
      ScriviQuota(foglio, riga, valore, quota, retta, v.valore.ComeValuta(), valore_retta);
    }
    if (l.voci_ap.empty()) continue;
    const Voce& ap = l.voci_ap[i];
    if (l.ap_senza_statistiche && i >= l.prima_cifra) {
      const int ultima = trattamento ? variazione_quota : variazione;
      for (int c = anno_precedente; c <= ultima; ++c) ScriviNonDisponibile(foglio, riga, c);
      continue;
    }
    ScriviVoce(foglio, riga, anno_precedente, ap);
    if (v.variazione == Variazione::kNessuna) continue;
    ScriviVariazione(foglio, riga, variazione, valore, anno_precedente,
                     v.variazione == Variazione::kPunti);
    if (trattamento) {
      ScriviQuota(foglio, riga, anno_precedente, quota_ap, retta_ap, ap.valore.ComeValuta(),
                  valore_retta_ap);
      ScriviVariazione(foglio, riga, variazione_quota, quota, quota_ap, true);
    }
  }
}

// The charts beside the tables of "Riepilogo", from column `colonna`: occupancy and ADR by day,
// room revenue by month and board basis and, with the comparison, RevPar by month this year and
// last year.
void GraficiRiepilogo(excel::Worksheet& foglio, const PeriodoReport& periodo, int ultimo_mese,
                      bool confronto, int colonna) {
  const DescrizioneFoglio& d = kDescrizioneData;
  const int ultimo_giorno = static_cast<int>(periodo.giorni_periodo) + 1;
  const excel::IntervalloFoglio date = DatiColonna(d.nome, 1, ultimo_giorno);
  auto colonna_data = [&](Genere g) { return DatiColonna(d.nome, d.Indice(g), ultimo_giorno); };
  excel::Grafico giorni = NuovoGrafico(excel::TipoGrafico::kLinee, "% occupazione e ADR per giorno",
                                       "Giorno", "% occupazione", "0%", 1, colonna);
  giorni.titolo_valori_secondari = "ADR";
  giorni.formato_valori_secondari = kFormatoEuroIntero;
  giorni.serie = {{"% occupazione", date, colonna_data(Genere::kOccupazione), false},
                  {"ADR", date, colonna_data(Genere::kADR), true}};
  // One label a month; a week for a period under two months.
  if (periodo.giorni_periodo >= 60) {
    giorni.asse_date = {excel::UnitaDate::kMesi, PassoMesi(periodo), kFormatoMese};
  } else {
    giorni.asse_date = {excel::UnitaDate::kGiorni, 7, kFormatoData};
  }
  foglio.AggiungiGrafico(giorni);

  const DescrizioneFoglio& m = kDescrizioneMesiConfronto;
  const std::string& nome_mesi = m.nome;
  const excel::IntervalloFoglio etichette_mesi = DatiColonna(nome_mesi, 1, ultimo_mese);
  const excel::AsseDate asse_mesi{excel::UnitaDate::kMesi, 1, kFormatoMese,
                                  excel::UnitaDate::kMesi};
  auto serie_mesi = [&](const std::string& nome, int c) {
    return excel::SerieGrafico{nome, etichette_mesi, DatiColonna(nome_mesi, c, ultimo_mese)};
  };
  excel::Grafico mesi =
      NuovoGrafico(excel::TipoGrafico::kColonneImpilate, "Retta per mese e trattamento", "Mese",
                   "Retta", kFormatoEuroIntero, 18, colonna);
  mesi.asse_date = asse_mesi;
  for (const char* t : kTrattamenti) mesi.serie.push_back(serie_mesi(t, m.Indice(t)));
  foglio.AggiungiGrafico(mesi);
  if (!confronto) return;
  excel::Grafico revpar =
      NuovoGrafico(excel::TipoGrafico::kColonne, "RevPar per mese, anno in corso e anno precedente",
                   "Mese", "RevPar", kFormatoEuroIntero, 35, colonna);
  revpar.asse_date = asse_mesi;
  revpar.serie = {serie_mesi("RevPar", m.Indice(Genere::kRevPar)),
                  serie_mesi("RevPar anno precedente", m.Indice("RevPar AP"))};
  foglio.AggiungiGrafico(revpar);
}

// The top lines and the figures of "Riepilogo" for this year and, with `data_ap` (whose "Totale"
// row is `totale_ap`), for last year.
VociDelRiepilogo VociConConfronto(excel::Worksheet& data, int totale, const PeriodoReport& periodo,
                                  const std::string& tipi_soggiorno,
                                  const ConfrontoReport& confronto, excel::Worksheet* data_ap,
                                  int totale_ap, const NottiConStatistiche& notti_ap,
                                  int righe_avviso) {
  const DescrizioneFoglio& d = kDescrizioneRiepilogoConfronto;
  TestaRiepilogo testa{periodo.hotel,  &periodo,          !tipi_soggiorno.empty(),
                       tipi_soggiorno, periodo.creato_il, periodo.notti,
                       false,          righe_avviso};
  VociDelRiepilogo l;
  l.voci =
      VociRiepilogo(data, totale, d.Indice("Valore"), testa, l.prima_trattamento, l.prima_cifra);
  if (data_ap == nullptr) return l;
  // Last year worked out but without a single statistic: zeros there would read as a collapse.
  l.ap_senza_statistiche = !notti_ap.prima;
  testa.hotel.clear();
  testa.periodo = &confronto.periodo;
  testa.tipi_soggiorno = confronto.tipi_soggiorno;
  testa.creato_il.clear();
  testa.notti = notti_ap;
  testa.senza_statistiche = l.ap_senza_statistiche;
  l.voci_ap = VociRiepilogo(*data_ap, totale_ap, d.Indice("Anno precedente"), testa,
                            l.prima_trattamento, l.prima_cifra);
  return l;
}

// "Riepilogo": the headings, the warnings, the lines from the "Totale" row `totale` of "Data"
// (with last year's beside them when asked), the period by day of the week under them, the charts
// beside them and the print settings.
void ScriviRiepilogo(excel::Worksheet& foglio, excel::Worksheet& data, int totale, int ultimo_mese,
                     const PeriodoReport& periodo, const std::string& tipi_soggiorno,
                     const ConfrontoReport& confronto, excel::Worksheet* data_ap, int totale_ap,
                     const NottiConStatistiche& notti_ap) {
  const DescrizioneFoglio& descrizione =
      confronto.chiesto ? kDescrizioneRiepilogoConfronto : kDescrizioneRiepilogo;
  ScriviIntestazioni(foglio, descrizione);
  const std::vector<std::string> avvisi =
      AvvisiRiepilogo(periodo, tipi_soggiorno, confronto, data_ap != nullptr);
  const VociDelRiepilogo voci =
      VociConConfronto(data, totale, periodo, tipi_soggiorno, confronto, data_ap, totale_ap,
                       notti_ap, static_cast<int>(avvisi.size()));
  ScriviVoci(foglio, voci);
  const int ultima = static_cast<int>(voci.voci.size()) + 1;
  const int prima_riga_avviso = static_cast<int>(voci.prima_cifra - avvisi.size());
  // Under the table, below the line of last year's source.
  const int ultima_settimana = ScriviGiorniSettimana(foglio, data, ultima + 4, periodo);
  // Beside the tables, one column apart, leaving room for columns added after them.
  GraficiRiepilogo(foglio, periodo, ultimo_mese, confronto.chiesto,
                   std::max(9, descrizione.NumeroColonne() + 2));

  excel::ImpostazioniPagina& pagina = foglio.PageSetup();
  pagina.orizzontale = true;
  pagina.pagine_in_larghezza = 1;
  foglio.FreezePanes(2, 1);
  foglio.AllargaColonne(1, std::max(descrizione.NumeroColonne(), ultima_settimana));

  // The warnings and, under the table, where last year's figures come from; they may run past
  // column A, so they are written after the widths are fitted.
  for (size_t i = 0; i < avvisi.size(); ++i) {
    foglio.Cells(prima_riga_avviso + static_cast<int>(i), 1) = avvisi[i];
  }
  if (confronto.chiesto) {
    foglio.Cells(ultima + 2, 1) =
        data_ap != nullptr
            ? "Anno precedente " +
                  TestoPeriodo(confronto.periodo.giorno_dal, confronto.periodo.giorno_al) +
                  ": soggiorni effettivi (" + confronto.tipi_soggiorno + ")."
            : "Confronto con l'anno precedente non disponibile: " + confronto.motivo;
  }
}

// A text as a page header shows it: '&' starts a code, so a literal one is doubled.
std::string InCodiciPagina(const std::string& testo) {
  std::string esito;
  for (char c : testo) esito += c == '&' ? std::string("&&") : std::string(1, c);
  return esito;
}
// The longest header or footer the file format takes, codes included.
constexpr size_t kMassimoCodiciPagina = 255;

// Last year's days, laid out and finished as "Data". Returns its "Totale" row.
int ScriviDataAnnoPrecedente(excel::Worksheet& foglio, Recordset& gruppi, Recordset& camere_agenzia,
                             const PeriodoReport& periodo, NottiConStatistiche& notti) {
  const DescrizioneFoglio& d = kDescrizioneDataAnnoPrecedente;
  ScriviIntestazioni(foglio, d);
  notti = RiempiFoglioData(foglio, gruppi, camere_agenzia, periodo);
  const int ultima = static_cast<int>(periodo.giorni_periodo) + 1;
  FormattaColonne(foglio, d, ultima);
  const int totale = ScriviTotale(foglio, d, ultima);
  RifinisciFoglio(foglio, d, ultima, d.NumeroColonne());
  return totale;
}

}  // namespace

void ImpostaProprieta(excel::Workbook& cartella, const std::string& titolo,
                      const PeriodoReport& periodo) {
  excel::ProprietaDocumento& p = cartella.BuiltinDocumentProperties();
  p.titolo = titolo;
  p.soggetto = "Periodo dal " + periodo.dal + " al " + periodo.al;
  p.applicazione = std::string("Vendrix ") + kVersione;
  const std::string periodo_testo = "dal " + periodo.dal + " al " + periodo.al;
  const std::string fine_intestazione =
      "&C" + InCodiciPagina(titolo) + "&R" + InCodiciPagina(periodo_testo);
  // The hotel's name is cut, at a whole character, when the header would pass the limit.
  std::string hotel = InCodiciPagina(periodo.hotel);
  while (!hotel.empty() && hotel.size() + 2 + fine_intestazione.size() > kMassimoCodiciPagina) {
    size_t ultimo = hotel.size() - 1;
    while (ultimo > 0 && (static_cast<unsigned char>(hotel[ultimo]) & 0xC0) == 0x80) --ultimo;
    hotel.erase(ultimo);
    // Never half of a doubled '&'.
    size_t e = 0;
    while (e < hotel.size() && hotel[hotel.size() - 1 - e] == '&') ++e;
    if (e % 2 == 1) hotel.pop_back();
  }
  std::string piede = "&L" + InCodiciPagina(periodo.tipi_soggiorno);
  if (!periodo.creato_il.empty()) piede += "&CCreato il " + InCodiciPagina(periodo.creato_il);
  piede += "&RPagina &P di &N";
  if (piede.size() > kMassimoCodiciPagina) piede = "&RPagina &P di &N";
  for (int i = 1; i <= cartella.Count(); ++i) {
    excel::ImpostazioniPagina& pagina = cartella.Sheets(i).PageSetup();
    pagina.intestazione = "&L" + hotel + fine_intestazione;
    pagina.pie_di_pagina = piede;
  }
}

void CompletaReportData(excel::Workbook& cartella, const PeriodoReport& periodo,
                        const std::string& tipi_soggiorno, const ConfrontoReport& confronto) {
  excel::Worksheet& data = cartella.Sheets(1);
  const DescrizioneFoglio& d = kDescrizioneData;
  const int ultima = static_cast<int>(periodo.giorni_periodo) + 1;
  FormattaColonne(data, d, ultima);
  const int totale = ScriviTotale(data, d, ultima);
  RifinisciFoglio(data, d, ultima, d.NumeroColonne());

  excel::Worksheet& mesi = cartella.AggiungiFoglio(kDescrizioneMesi.nome);
  excel::Worksheet& riepilogo = cartella.AggiungiFoglio(kDescrizioneRiepilogo.nome);
  // Last year's days come after the sheets that refer to them, and are filled before them.
  excel::Worksheet* data_ap = nullptr;
  int totale_ap = 0;
  NottiConStatistiche notti_ap;
  if (confronto.chiesto && confronto.gruppi != nullptr) {
    data_ap = &cartella.AggiungiFoglio(kDescrizioneDataAnnoPrecedente.nome);
    totale_ap = ScriviDataAnnoPrecedente(*data_ap, *confronto.gruppi, *confronto.camere_agenzia,
                                         confronto.periodo, notti_ap);
  }
  const int ultimo_mese = ScriviMesi(mesi, data, periodo, confronto, data_ap, totale_ap,
                                     data_ap != nullptr && !notti_ap.prima);
  ScriviRiepilogo(riepilogo, data, totale, ultimo_mese, periodo, tipi_soggiorno, confronto, data_ap,
                  totale_ap, notti_ap);
  // The summary is what a manager reads first; "Data" stays the first sheet.
  cartella.Activate(3);
  ImpostaProprieta(cartella, "Vendite per giorno", periodo);
}

}  // namespace vendrix
