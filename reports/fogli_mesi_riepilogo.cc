// The daily workbook beyond its sheet "Data": the totals of "Data", the sheets "Mesi" and
// "Riepilogo", and the charts of the period.

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>

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

constexpr const char* kFormatoEuroIntero = "#,##0 [$€-410]";

const DescrizioneFoglio kDescrizioneRiepilogo{
    "Riepilogo",
    {
        {"Voce", Genere::kEtichetta, "", 26},
        {"Valore", Genere::kEtichetta, "", 14},
        {"Quota su Totale Retta", Genere::kEtichetta, excel::kFormatoPercentuale, 12},
    }};

std::string TestoMese(const year_month_day& giorno) {
  char testo[16];
  std::snprintf(testo, sizeof testo, "%02u/%04d", static_cast<unsigned>(giorno.month()),
                static_cast<int>(giorno.year()));
  return testo;
}

std::string Adesso() {
  const std::time_t ora = std::time(nullptr);
  std::tm locale{};
  localtime_r(&ora, &locale);
  char testo[32];
  std::strftime(testo, sizeof testo, "%d/%m/%Y %H:%M", &locale);
  return testo;
}

// "Mesi": one row per calendar month the period touches, over that month's days on "Data".
// Returns the last month row.
int ScriviMesi(excel::Worksheet& mesi, excel::Worksheet& data, const PeriodoReport& periodo) {
  const DescrizioneFoglio& d = kDescrizioneMesi;
  ScriviIntestazioni(mesi, d);
  const sys_days primo = periodo.giorno_dal;
  int riga = 1;
  int64_t inizio = 0;  // index of the month's first day
  for (int64_t i = 0; i < periodo.giorni_periodo; ++i) {
    const year_month_day giorno(primo + days(i));
    const bool ultimo = i + 1 == periodo.giorni_periodo ||
                        year_month_day(primo + days(i + 1)).month() != giorno.month();
    if (!ultimo) continue;
    // Day i stands on row i + 2 of "Data".
    const int prima = static_cast<int>(inizio + 2), fine = static_cast<int>(i + 2);
    std::map<int, Somma> somme;
    for (int c = 2; c <= d.NumeroColonne(); ++c) {
      const Genere genere = d.colonne[c - 1].genere;
      if (!ESomma(genere)) continue;
      somme[c] = {"SUM(" + CellaDi(kDescrizioneData.nome, prima, c) + ":" + Cella(fine, c) + ")",
                  SommaEsatta(data, c, prima, fine, genere)};
    }
    ++riga;
    ScriviRigaSintesi(mesi, d, riga, TestoMese(giorno), somme, 0, false);
    inizio = i + 1;
  }
  ScriviTotale(mesi, d, riga);
  RifinisciFoglio(mesi, d, riga, d.NumeroColonne());
  return riga;
}

// One line of "Riepilogo": its value and how it is shown.
struct Voce {
  std::string etichetta;
  std::string formula;  // empty: a plain value
  ValoreCella valore;
  std::string formato;
};

void ScriviRiepilogo(excel::Worksheet& foglio, excel::Worksheet& data, int totale,
                     int ultimo_mese, const PeriodoReport& periodo,
                     const std::string& tipi_soggiorno) {
  ScriviIntestazioni(foglio, kDescrizioneRiepilogo);
  const DescrizioneFoglio& d = kDescrizioneData;
  auto di_data = [&](Genere g) { return CellaDi(d.nome, totale, d.Indice(g)); };
  auto valore = [&](int colonna) { return data.Cells(totale, colonna).Value(); };
  const int64_t disponibili = valore(d.Indice(Genere::kLibere)).ComeIntero() +
                              valore(d.Indice(Genere::kOccupate)).ComeIntero();
  const int64_t vendute = valore(d.Indice(Genere::kOccupate)).ComeIntero();
  const Valuta retta = valore(d.Indice(Genere::kRetta)).ComeValuta();
  const int colonna_extra = d.NumeroColonne() - 1;  // "Extra"
  const Valuta extra = valore(colonna_extra).ComeValuta();
  const Valuta senza_extra = retta - extra;
  const int64_t ospiti = valore(d.Indice(Genere::kOspiti)).ComeIntero();
  auto diviso = [](Valuta importo, int64_t base) {
    return base == 0 ? Valuta{} : ImportoArrotondato(importo, base);
  };

  // Rows of the figures the others refer to.
  std::vector<Voce> voci;
  voci.push_back({"Periodo", "", ValoreCella(periodo.dal + " - " + periodo.al), ""});
  if (!tipi_soggiorno.empty()) voci.push_back({"Tipi di soggiorno", "", tipi_soggiorno, ""});
  voci.push_back({"Creato il", "", ValoreCella(Adesso()), ""});
  const int prima = 2 + static_cast<int>(voci.size());
  auto b = [&](int scarto) { return Cella(prima + scarto, 2); };
  const std::string disp = b(1), vend = b(2), tot = b(6), ext = b(7), senza = b(8), osp = b(11);
  auto per = [](const std::string& importo, const std::string& base) {
    return "IF(" + base + "=0,0,ROUND(" + importo + "/" + base + ",2))";
  };
  const char* euro = excel::kFormatoValuta;
  voci.push_back({"Giorni", "", ValoreCella(periodo.giorni_periodo), "0"});
  voci.push_back({"Camere disponibili", di_data(Genere::kLibere) + "+" + di_data(Genere::kOccupate),
                  ValoreCella(disponibili), "#,##0"});
  voci.push_back({"Camere vendute", di_data(Genere::kOccupate), ValoreCella(vendute), "#,##0"});
  voci.push_back({"% occupazione", "IF(" + disp + "=0,0," + vend + "/" + disp + ")",
                  ValoreCella(disponibili == 0 ? 0.0 : static_cast<double>(vendute) /
                                                           static_cast<double>(disponibili)),
                  excel::kFormatoPercentuale});
  voci.push_back({"ADR", per(tot, vend), ValoreCella(diviso(retta, vendute)), euro});
  voci.push_back({"RevPar", per(tot, disp), ValoreCella(diviso(retta, disponibili)), euro});
  voci.push_back({"Totale Retta", di_data(Genere::kRetta), ValoreCella(retta), euro});
  voci.push_back(
      {"di cui Extra", CellaDi(d.nome, totale, colonna_extra), ValoreCella(extra), euro});
  voci.push_back({"Retta senza extra", tot + "-" + ext, ValoreCella(senza_extra), euro});
  voci.push_back({"ADR senza extra", per(senza, vend), ValoreCella(diviso(senza_extra, vendute)),
                  euro});
  voci.push_back({"RevPar senza extra", per(senza, disp),
                  ValoreCella(diviso(senza_extra, disponibili)), euro});
  voci.push_back({"Ospiti", di_data(Genere::kOspiti), ValoreCella(ospiti), "#,##0"});
  voci.push_back(
      {"Entrata media per ospite", per(tot, osp), ValoreCella(diviso(retta, ospiti)), euro});
  const int prima_trattamento = 2 + static_cast<int>(voci.size());
  for (int c = 2; c <= 6; ++c) {  // RO, BB, HB, FB, Supplementi
    voci.push_back({d.colonne[c - 1].intestazione, CellaDi(d.nome, totale, c),
                    valore(c).ComeValuta(), euro});
  }

  for (size_t i = 0; i < voci.size(); ++i) {
    const int riga = static_cast<int>(i) + 2;
    const Voce& v = voci[i];
    foglio.Cells(riga, 1) = v.etichetta;
    if (!v.formato.empty()) foglio.Range(Cella(riga, 2)).NumberFormat(v.formato);
    if (v.formula.empty()) {
      // A text is kept as written: a period is no number.
      if (v.valore.Tipo() == excel::TipoCella::kTesto) {
        foglio.Range(Cella(riga, 2)).NumberFormat(excel::kFormatoTesto);
      }
      foglio.Cells(riga, 2) = v.valore;
    } else {
      foglio.Cells(riga, 2).SetFormula(v.formula, v.valore);
    }
    if (riga >= prima_trattamento) {
      const Valuta parte = v.valore.ComeValuta();
      const double quota = retta == Valuta{} ? 0.0 : parte.ComeDouble() / retta.ComeDouble();
      foglio.Range(Cella(riga, 3)).NumberFormat(excel::kFormatoPercentuale);
      foglio.Cells(riga, 3).SetFormula("IF(" + tot + "=0,0," + Cella(riga, 2) + "/" + tot + ")",
                                       quota);
    }
  }
  const int ultima = static_cast<int>(voci.size()) + 1;

  // Beside the table, leaving room for columns added after it.
  excel::Grafico giorni;
  giorni.tipo = excel::TipoGrafico::kLinee;
  giorni.titolo = "% occupazione e ADR per giorno";
  giorni.titolo_categorie = "Giorno";
  giorni.titolo_valori = "% occupazione";
  giorni.formato_valori = "0%";
  giorni.titolo_valori_secondari = "ADR";
  giorni.formato_valori_secondari = kFormatoEuroIntero;
  const int ultimo_giorno = static_cast<int>(periodo.giorni_periodo) + 1;
  const excel::IntervalloFoglio date{d.nome, 2, 1, ultimo_giorno, 1};
  auto colonna_data = [&](Genere g) {
    const int c = d.Indice(g);
    return excel::IntervalloFoglio{d.nome, 2, c, ultimo_giorno, c};
  };
  giorni.serie.push_back({"% occupazione", date, colonna_data(Genere::kOccupazione), false});
  giorni.serie.push_back({"ADR", date, colonna_data(Genere::kADR), true});
  giorni.riga = 1;
  giorni.colonna = 7;
  foglio.AggiungiGrafico(giorni);

  excel::Grafico mesi;
  mesi.tipo = excel::TipoGrafico::kColonneImpilate;
  mesi.titolo = "Retta per mese e trattamento";
  mesi.titolo_categorie = "Mese";
  mesi.titolo_valori = "Retta";
  mesi.formato_valori = kFormatoEuroIntero;
  const std::string& nome_mesi = kDescrizioneMesi.nome;
  const excel::IntervalloFoglio etichette_mesi{nome_mesi, 2, 1, ultimo_mese, 1};
  for (int c = 2; c <= 6; ++c) {
    mesi.serie.push_back({kDescrizioneMesi.colonne[c - 1].intestazione, etichette_mesi,
                          excel::IntervalloFoglio{nome_mesi, 2, c, ultimo_mese, c}, false});
  }
  mesi.riga = 18;
  mesi.colonna = 7;
  foglio.AggiungiGrafico(mesi);

  excel::ImpostazioniPagina& pagina = foglio.PageSetup();
  pagina.orizzontale = true;
  pagina.pagine_in_larghezza = 1;
  foglio.FreezePanes(2, 1);
  foglio.AllargaColonne(1, ultima > 1 ? kDescrizioneRiepilogo.NumeroColonne() : 1);
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
                        const std::string& tipi_soggiorno) {
  excel::Worksheet& data = cartella.Sheets(1);
  const DescrizioneFoglio& d = kDescrizioneData;
  const int ultima = static_cast<int>(periodo.giorni_periodo) + 1;
  FormattaColonne(data, d, ultima);
  const int totale = ScriviTotale(data, d, ultima);
  RifinisciFoglio(data, d, ultima, d.NumeroColonne());

  const int ultimo_mese = ScriviMesi(cartella.AggiungiFoglio(kDescrizioneMesi.nome), data, periodo);
  ScriviRiepilogo(cartella.AggiungiFoglio(kDescrizioneRiepilogo.nome), data, totale, ultimo_mese,
                  periodo, tipi_soggiorno);
  ImpostaProprieta(cartella, "Vendite per giorno", periodo);
}

}  // namespace vendrix
