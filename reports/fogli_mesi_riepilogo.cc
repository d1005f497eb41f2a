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
    "Riepilogo",
    {
        {"Voce", Genere::kEtichetta, "", 26},
        {"Valore", Genere::kEtichetta, "", 14},
        {"Quota su Totale Retta", Genere::kEtichetta, excel::kFormatoPercentuale, 12},
        {"Anno precedente", Genere::kAnnoPrecedente, "", 14},
        {"Variazione", Genere::kAnnoPrecedente, "", 12},
        {"Quota anno precedente", Genere::kAnnoPrecedente, excel::kFormatoPercentuale, 12},
        {"Variazione quota", Genere::kAnnoPrecedente, "", 12},
    }};

// A change against last year: relative for amounts and counts, in percentage points for shares.
constexpr const char* kFormatoVariazione = "+0.00%;-0.00%;0.00%";
constexpr const char* kFormatoPunti = "+0.00\" pp\";-0.00\" pp\";0.00\" pp\"";

// Columns of last year's figures on "Mesi", after its own.
constexpr int kVenduteAP = 18, kOccupazioneAP = 19, kADRAP = 20, kRevParAP = 21, kRettaAP = 22;
// Columns of "Riepilogo".
constexpr int kValore = 2, kQuota = 3, kAnnoPrecedente = 4, kVariazione = 5,
              kQuotaAnnoPrecedente = 6, kVariazioneQuota = 7;

std::string TestoMese(const year_month_day& giorno) {
  char testo[16];
  std::snprintf(testo, sizeof testo, "%02u/%04d", static_cast<unsigned>(giorno.month()),
                static_cast<int>(giorno.year()));
  return testo;
}

double Frazione(int64_t parte, int64_t base) {
  return base == 0 ? 0.0 : static_cast<double>(parte) / static_cast<double>(base);
}
Valuta ImportoDiviso(Valuta importo, int64_t base) {
  return base == 0 ? Valuta{} : ImportoArrotondato(importo, base);
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
void ScriviFigureAnnoPrecedente(excel::Worksheet& mesi, int riga, const Somma& vendute,
                                const Somma& retta, const std::string& libere,
                                int64_t valore_libere) {
  const std::string v = Cella(riga, kVenduteAP), t = Cella(riga, kRettaAP);
  mesi.Cells(riga, kVenduteAP).SetFormula(vendute.formula, vendute.valore);
  mesi.Cells(riga, kRettaAP).SetFormula(retta.formula, retta.valore);
  const std::string capacita = "(" + libere + "+" + v + ")";
  const int64_t camere = vendute.valore.ComeIntero();
  const int64_t valore_capacita = valore_libere + camere;
  const Valuta importo = retta.valore.ComeValuta();
  mesi.Cells(riga, kOccupazioneAP)
      .SetFormula("IF(" + capacita + "=0,0," + v + "/" + capacita + ")",
                  Frazione(camere, valore_capacita));
  mesi.Cells(riga, kADRAP)
      .SetFormula("IF(" + v + "=0,0,ROUND(" + t + "/" + v + ",2))", ImportoDiviso(importo, camere));
  mesi.Cells(riga, kRevParAP)
      .SetFormula("IF(" + capacita + "=0,0,ROUND(" + t + "/" + capacita + ",2))",
                  ImportoDiviso(importo, valore_capacita));
}

// "Mesi": one row per calendar month the period touches, over that month's days on "Data";
// with `data_ap`, last year's figures of the same month from its days on that sheet, whose
// "Totale" row is `totale_ap`. Returns the last month row.
int ScriviMesi(excel::Worksheet& mesi, excel::Worksheet& data, const PeriodoReport& periodo,
               const ConfrontoReport& confronto, excel::Worksheet* data_ap, int totale_ap) {
  const DescrizioneFoglio& d = confronto.chiesto ? kDescrizioneMesiConfronto : kDescrizioneMesi;
  ScriviIntestazioni(mesi, d);
  const std::vector<MeseDelPeriodo> mesi_periodo = MesiDelPeriodo(periodo);
  // One year back every day keeps its month, so the months pair up in order.
  const std::vector<MeseDelPeriodo> mesi_ap =
      data_ap != nullptr ? MesiDelPeriodo(confronto.periodo) : std::vector<MeseDelPeriodo>{};
  const bool con_ap = data_ap != nullptr && mesi_ap.size() == mesi_periodo.size();
  const int libere = kDescrizioneData.Indice(Genere::kLibere);
  const int occupate = kDescrizioneData.Indice(Genere::kOccupate);
  const int retta = kDescrizioneData.Indice(Genere::kRetta);
  int riga = 1;
  for (size_t m = 0; m < mesi_periodo.size(); ++m) {
    const MeseDelPeriodo& mese = mesi_periodo[m];
    std::map<int, Somma> somme;
    for (int c = 2; c <= kDescrizioneMesi.NumeroColonne(); ++c) {
      const Genere genere = d.colonne[c - 1].genere;
      if (!ESomma(genere)) continue;
      somme[c] = {
          "SUM(" + CellaDi(kDescrizioneData.nome, mese.prima, c) + ":" + Cella(mese.fine, c) + ")",
          SommaEsatta(data, c, mese.prima, mese.fine, genere)};
    }
    ++riga;
    ScriviRigaSintesi(mesi, d, riga, TestoMese(mese.giorno), somme, 0, false);
    if (!con_ap) continue;
    const MeseDelPeriodo& ap = mesi_ap[m];
    auto somma_ap = [&](int c, Genere genere) {
      return Somma{"SUM(" + CellaDi(data_ap->Name(), ap.prima, c) + ":" + Cella(ap.fine, c) + ")",
                   SommaEsatta(*data_ap, c, ap.prima, ap.fine, genere)};
    };
    const Somma libere_ap = somma_ap(libere, Genere::kLibere);
    ScriviFigureAnnoPrecedente(mesi, riga, somma_ap(occupate, Genere::kOccupate),
                               somma_ap(retta, Genere::kRetta), libere_ap.formula,
                               libere_ap.valore.ComeIntero());
  }
  const int totale = ScriviTotale(mesi, d, riga);
  if (con_ap) {
    auto subtotale = [&](int c, Genere genere) {
      return Somma{"SUBTOTAL(109," + Cella(2, c) + ":" + Cella(riga, c) + ")",
                   SommaEsatta(mesi, c, 2, riga, genere)};
    };
    // The free rooms of every month are those of last year's "Totale".
    ScriviFigureAnnoPrecedente(mesi, totale, subtotale(kVenduteAP, Genere::kOccupate),
                               subtotale(kRettaAP, Genere::kRetta),
                               CellaDi(data_ap->Name(), totale_ap, libere),
                               data_ap->Cells(totale_ap, libere).Value().ComeIntero());
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
};

// The lines of "Riepilogo" as column `colonna` gives them, from the "Totale" row `totale` of the
// day sheet `data` (laid out as "Data") over `periodo`. The line "Tipi di soggiorno" is there
// when `con_tipi`. Returns the lines and sets `prima_trattamento` to the index of the first line
// of the board mix.
std::vector<Voce> VociRiepilogo(excel::Worksheet& data, int totale, int colonna,
                                const PeriodoReport& periodo, bool con_tipi,
                                const std::string& tipi_soggiorno, const std::string& creato_il,
                                size_t& prima_trattamento) {
  const DescrizioneFoglio& d = kDescrizioneData;
  auto di_data = [&](Genere g) { return CellaDi(data.Name(), totale, d.Indice(g)); };
  auto valore = [&](int c) { return data.Cells(totale, c).Value(); };
  const int64_t disponibili = valore(d.Indice(Genere::kLibere)).ComeIntero() +
                              valore(d.Indice(Genere::kOccupate)).ComeIntero();
  const int64_t vendute = valore(d.Indice(Genere::kOccupate)).ComeIntero();
  const Valuta retta = valore(d.Indice(Genere::kRetta)).ComeValuta();
  const int colonna_extra = d.NumeroColonne() - 1;  // "Extra"
  const Valuta extra = valore(colonna_extra).ComeValuta();
  const Valuta senza_extra = retta - extra;
  const int64_t ospiti = valore(d.Indice(Genere::kOspiti)).ComeIntero();

  // Rows of the figures the others refer to.
  std::vector<Voce> voci;
  voci.push_back({"Periodo", "", ValoreCella(periodo.dal + " - " + periodo.al), ""});
  if (con_tipi) voci.push_back({"Tipi di soggiorno", "", tipi_soggiorno, ""});
  voci.push_back({"Creato il", "", creato_il.empty() ? ValoreCella() : creato_il, ""});
  const int prima = 2 + static_cast<int>(voci.size());
  auto b = [&](int scarto) { return Cella(prima + scarto, colonna); };
  const std::string disp = b(1), vend = b(2), tot = b(6), ext = b(7), senza = b(8), osp = b(11);
  auto per = [](const std::string& importo, const std::string& base) {
    return "IF(" + base + "=0,0,ROUND(" + importo + "/" + base + ",2))";
  };
  const char* euro = excel::kFormatoValuta;
  const Variazione relativa = Variazione::kRelativa;
  voci.push_back({"Giorni", "", ValoreCella(periodo.giorni_periodo), "0", relativa});
  voci.push_back({"Camere disponibili", di_data(Genere::kLibere) + "+" + di_data(Genere::kOccupate),
                  ValoreCella(disponibili), "#,##0", relativa});
  voci.push_back(
      {"Camere vendute", di_data(Genere::kOccupate), ValoreCella(vendute), "#,##0", relativa});
  voci.push_back({"% occupazione", "IF(" + disp + "=0,0," + vend + "/" + disp + ")",
                  ValoreCella(Frazione(vendute, disponibili)), excel::kFormatoPercentuale,
                  Variazione::kPunti});
  voci.push_back(
      {"ADR", per(tot, vend), ValoreCella(ImportoDiviso(retta, vendute)), euro, relativa});
  voci.push_back(
      {"RevPar", per(tot, disp), ValoreCella(ImportoDiviso(retta, disponibili)), euro, relativa});
  voci.push_back({"Totale Retta", di_data(Genere::kRetta), ValoreCella(retta), euro, relativa});
  voci.push_back({"di cui Extra", CellaDi(data.Name(), totale, colonna_extra), ValoreCella(extra),
                  euro, relativa});
  voci.push_back({"Retta senza extra", tot + "-" + ext, ValoreCella(senza_extra), euro, relativa});
  voci.push_back({"ADR senza extra", per(senza, vend),
                  ValoreCella(ImportoDiviso(senza_extra, vendute)), euro, relativa});
  voci.push_back({"RevPar senza extra", per(senza, disp),
                  ValoreCella(ImportoDiviso(senza_extra, disponibili)), euro, relativa});
  voci.push_back({"Ospiti", di_data(Genere::kOspiti), ValoreCella(ospiti), "#,##0", relativa});
  voci.push_back({"Entrata media per ospite", per(tot, osp),
                  ValoreCella(ImportoDiviso(retta, ospiti)), euro, relativa});
  prima_trattamento = voci.size();
  for (int c = 2; c <= 6; ++c) {  // RO, BB, HB, FB, Supplementi
    voci.push_back({d.colonne[c - 1].intestazione, CellaDi(data.Name(), totale, c),
                    valore(c).ComeValuta(), euro, relativa});
  }
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
}

// Writes the share of Totale Retta of the amount in column `colonna` of `riga` into
// `destinazione`; `totale` is the cell of Totale Retta.
void ScriviQuota(excel::Worksheet& foglio, int riga, int colonna, int destinazione,
                 const std::string& totale, Valuta parte, Valuta retta) {
  const double quota = retta == Valuta{} ? 0.0 : parte.ComeDouble() / retta.ComeDouble();
  foglio.Range(Cella(riga, destinazione)).NumberFormat(excel::kFormatoPercentuale);
  foglio.Cells(riga, destinazione)
      .SetFormula("IF(" + totale + "=0,0," + Cella(riga, colonna) + "/" + totale + ")", quota);
}

// Writes into `destinazione` of `riga` the difference in percentage points of two shares.
void ScriviPunti(excel::Worksheet& foglio, int riga, int destinazione, int attuale, int passata,
                 double valore_attuale, double valore_passato) {
  foglio.Range(Cella(riga, destinazione)).NumberFormat(kFormatoPunti);
  foglio.Cells(riga, destinazione)
      .SetFormula("(" + Cella(riga, attuale) + "-" + Cella(riga, passata) + ")*100",
                  (valore_attuale - valore_passato) * 100);
}

void ScriviRiepilogo(excel::Worksheet& foglio, excel::Worksheet& data, int totale, int ultimo_mese,
                     const PeriodoReport& periodo, const std::string& tipi_soggiorno,
                     const ConfrontoReport& confronto, excel::Worksheet* data_ap, int totale_ap) {
  const DescrizioneFoglio& descrizione =
      confronto.chiesto ? kDescrizioneRiepilogoConfronto : kDescrizioneRiepilogo;
  ScriviIntestazioni(foglio, descrizione);
  const bool con_tipi = !tipi_soggiorno.empty();
  size_t prima_trattamento = 0;
  const std::vector<Voce> voci =
      VociRiepilogo(data, totale, kValore, periodo, con_tipi, tipi_soggiorno,
                    OraLocale("%d/%m/%Y %H:%M"), prima_trattamento);
  std::vector<Voce> voci_ap;
  if (data_ap != nullptr) {
    voci_ap = VociRiepilogo(*data_ap, totale_ap, kAnnoPrecedente, confronto.periodo, con_tipi,
                            confronto.tipi_soggiorno, "", prima_trattamento);
  }
  // The cells of Totale Retta, this year's and last year's.
  std::string retta, retta_ap;
  Valuta valore_retta, valore_retta_ap;
  for (size_t i = 0; i < voci.size(); ++i) {
    if (voci[i].etichetta != "Totale Retta") continue;
    retta = Cella(static_cast<int>(i) + 2, kValore);
    valore_retta = voci[i].valore.ComeValuta();
    retta_ap = Cella(static_cast<int>(i) + 2, kAnnoPrecedente);
    if (!voci_ap.empty()) valore_retta_ap = voci_ap[i].valore.ComeValuta();
  }

  for (size_t i = 0; i < voci.size(); ++i) {
    const int riga = static_cast<int>(i) + 2;
    const Voce& v = voci[i];
    foglio.Cells(riga, 1) = v.etichetta;
    ScriviVoce(foglio, riga, kValore, v);
    const bool trattamento = i >= prima_trattamento;
    if (trattamento) {
      ScriviQuota(foglio, riga, kValore, kQuota, retta, v.valore.ComeValuta(), valore_retta);
    }
    if (voci_ap.empty()) continue;
    const Voce& ap = voci_ap[i];
    ScriviVoce(foglio, riga, kAnnoPrecedente, ap);
    if (v.variazione == Variazione::kNessuna) continue;
    const double attuale = v.valore.Numero(), passato = ap.valore.Numero();
    if (v.variazione == Variazione::kRelativa && passato != 0) {
      // Against a last year of 0 there is no relative change: the cell stays empty.
      foglio.Range(Cella(riga, kVariazione)).NumberFormat(kFormatoVariazione);
      const std::string b = Cella(riga, kValore), d = Cella(riga, kAnnoPrecedente);
      foglio.Cells(riga, kVariazione)
          .SetFormula("IF(" + d + "=0,\"\"," + b + "/" + d + "-1)", attuale / passato - 1);
    } else if (v.variazione == Variazione::kPunti) {
      ScriviPunti(foglio, riga, kVariazione, kValore, kAnnoPrecedente, attuale, passato);
    }
    if (trattamento) {
      ScriviQuota(foglio, riga, kAnnoPrecedente, kQuotaAnnoPrecedente, retta_ap,
                  ap.valore.ComeValuta(), valore_retta_ap);
      ScriviPunti(foglio, riga, kVariazioneQuota, kQuota, kQuotaAnnoPrecedente,
                  foglio.Cells(riga, kQuota).Value().Numero(),
                  foglio.Cells(riga, kQuotaAnnoPrecedente).Value().Numero());
    }
  }
  const int ultima = static_cast<int>(voci.size()) + 1;

  // Beside the table, one column apart, leaving room for columns added after it.
  const int colonna_grafici = std::max(7, descrizione.NumeroColonne() + 2);
  excel::Grafico giorni;
  giorni.tipo = excel::TipoGrafico::kLinee;
  giorni.titolo = "% occupazione e ADR per giorno";
  giorni.titolo_categorie = "Giorno";
  giorni.titolo_valori = "% occupazione";
  giorni.formato_valori = "0%";
  giorni.titolo_valori_secondari = "ADR";
  giorni.formato_valori_secondari = kFormatoEuroIntero;
  const DescrizioneFoglio& d = kDescrizioneData;
  const int ultimo_giorno = static_cast<int>(periodo.giorni_periodo) + 1;
  const excel::IntervalloFoglio date = DatiColonna(d.nome, 1, ultimo_giorno);
  auto colonna_data = [&](Genere g) { return DatiColonna(d.nome, d.Indice(g), ultimo_giorno); };
  giorni.serie.push_back({"% occupazione", date, colonna_data(Genere::kOccupazione), false});
  giorni.serie.push_back({"ADR", date, colonna_data(Genere::kADR), true});
  giorni.riga = 1;
  giorni.colonna = colonna_grafici;
  foglio.AggiungiGrafico(giorni);

  excel::Grafico mesi;
  mesi.tipo = excel::TipoGrafico::kColonneImpilate;
  mesi.titolo = "Retta per mese e trattamento";
  mesi.titolo_categorie = "Mese";
  mesi.titolo_valori = "Retta";
  mesi.formato_valori = kFormatoEuroIntero;
  const std::string& nome_mesi = kDescrizioneMesi.nome;
  const excel::IntervalloFoglio etichette_mesi = DatiColonna(nome_mesi, 1, ultimo_mese);
  for (int c = 2; c <= 6; ++c) {
    mesi.serie.push_back({kDescrizioneMesi.colonne[c - 1].intestazione, etichette_mesi,
                          DatiColonna(nome_mesi, c, ultimo_mese), false});
  }
  mesi.riga = 18;
  mesi.colonna = colonna_grafici;
  foglio.AggiungiGrafico(mesi);

  if (confronto.chiesto) {
    excel::Grafico revpar;
    revpar.tipo = excel::TipoGrafico::kColonne;
    revpar.titolo = "RevPar per mese, anno in corso e anno precedente";
    revpar.titolo_categorie = "Mese";
    revpar.titolo_valori = "RevPar";
    revpar.formato_valori = kFormatoEuroIntero;
    const int c = kDescrizioneMesi.Indice(Genere::kRevPar);
    revpar.serie.push_back({"RevPar", etichette_mesi, DatiColonna(nome_mesi, c, ultimo_mese)});
    revpar.serie.push_back(
        {"RevPar anno precedente", etichette_mesi, DatiColonna(nome_mesi, kRevParAP, ultimo_mese)});
    revpar.riga = 35;
    revpar.colonna = colonna_grafici;
    foglio.AggiungiGrafico(revpar);
  }

  excel::ImpostazioniPagina& pagina = foglio.PageSetup();
  pagina.orizzontale = true;
  pagina.pagine_in_larghezza = 1;
  foglio.FreezePanes(2, 1);
  foglio.AllargaColonne(1, ultima > 1 ? descrizione.NumeroColonne() : 1);

  // Under the table, where last year's figures come from; it may run past column A, so it is
  // written after the widths are fitted.
  if (confronto.chiesto) {
    foglio.Cells(ultima + 2, 1) =
        data_ap != nullptr
            ? "Anno precedente " +
                  TestoPeriodo(confronto.periodo.giorno_dal, confronto.periodo.giorno_al) +
                  ": soggiorni effettivi (" + confronto.tipi_soggiorno + ")."
            : "Confronto con l'anno precedente non disponibile: " + confronto.motivo;
  }
}

// Last year's days, laid out and finished as "Data". Returns its "Totale" row.
int ScriviDataAnnoPrecedente(excel::Worksheet& foglio, Recordset& gruppi, Recordset& camere_agenzia,
                             const PeriodoReport& periodo) {
  PreparaFoglioData(foglio);
  RiempiFoglioData(foglio, gruppi, camere_agenzia, periodo);
  const DescrizioneFoglio& d = kDescrizioneDataAnnoPrecedente;
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
  if (confronto.chiesto && confronto.gruppi != nullptr) {
    data_ap = &cartella.AggiungiFoglio(kDescrizioneDataAnnoPrecedente.nome);
    totale_ap = ScriviDataAnnoPrecedente(*data_ap, *confronto.gruppi, *confronto.camere_agenzia,
                                         confronto.periodo);
  }
  const int ultimo_mese = ScriviMesi(mesi, data, periodo, confronto, data_ap, totale_ap);
  ScriviRiepilogo(riepilogo, data, totale, ultimo_mese, periodo, tipi_soggiorno, confronto, data_ap,
                  totale_ap);
  ImpostaProprieta(cartella, "Vendite per giorno", periodo);
}

}  // namespace vendrix
