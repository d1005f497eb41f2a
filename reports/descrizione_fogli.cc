#include "reports/descrizione_fogli.h"

#include <chrono>

#include "data/errore.h"
#include "reports/valori_report.h"

namespace vendrix {

namespace {

using excel::ValoreCella;

constexpr const char* kEuro = excel::kFormatoValuta;
constexpr const char* kPercento = excel::kFormatoPercentuale;

// The columns the daily, monthly and room-type sheets share after their first one.
std::vector<Colonna> ColonneRiepilogo(const std::string& prima, double larghezza_prima,
                                      const char* formato_prima) {
  std::vector<Colonna> colonne = {{prima, Genere::kEtichetta, formato_prima, larghezza_prima}};
  for (const char* trattamento : kTrattamenti) {
    colonne.push_back({trattamento, Genere::kImporto, kEuro, 10});
  }
  colonne.insert(colonne.end(),
                 {
                     {"Totale Retta", Genere::kRetta, kEuro, 10},
                     {"ADR", Genere::kADR, kEuro, 10},
                     {"% occupazione", Genere::kOccupazione, kPercento, 10},
                     {"RevPar", Genere::kRevPar, kEuro, 10},
                     {"Camere occupate", Genere::kOccupate, "", 10},
                     {"% occupazione agenzia", Genere::kOccupazioneAgenzia, kPercento, 10},
                     {"Camere occupate agenzia", Genere::kCamereAgenzia, "", 10},
                     {"Camere libere", Genere::kLibere, "", 10},
                     {"Entrata media per ospite", Genere::kEntrataOspite, kEuro, 10},
                     {"Extra", Genere::kImporto, kEuro, 10},
                     {"Tot Pax", Genere::kOspiti, "", 10},
                 });
  return colonne;
}

// The agency sheet: the agency before the room type, no columns of the rooms sold through an
// agency (every row is an agency's), and "Camere libere" holding the room nights the row's room
// type offers.
std::vector<Colonna> ColonneAgenzia() {
  std::vector<Colonna> colonne = ColonneRiepilogo("Tipo camera", 50, "");
  colonne.insert(colonne.begin(), {"Agenzia", Genere::kEtichetta, "", 50});
  std::erase_if(colonne, [](const Colonna& c) {
    return c.genere == Genere::kOccupazioneAgenzia || c.genere == Genere::kCamereAgenzia;
  });
  for (Colonna& c : colonne) {
    if (c.genere == Genere::kLibere) c.genere = Genere::kCapacita;
  }
  return colonne;
}

// The ratio columns' formulas and values over the cells of one row.
struct Rapporti {
  std::string retta, occupate, agenzia, ospiti, capacita;  // cell addresses or expressions
  Valuta valore_retta;
  int64_t valore_occupate = 0, valore_agenzia = 0, valore_ospiti = 0, valore_capacita = 0;
};

}  // namespace

std::string QuotaDi(const std::string& parte, const std::string& base) {
  return "IF(" + base + "=0,0," + parte + "/" + base + ")";
}
std::string ImportoPer(const std::string& importo, const std::string& base) {
  return "IF(" + base + "=0,0,ROUND(" + importo + "/" + base + ",2))";
}

bool ESomma(Genere g) {
  return EImporto(g) || g == Genere::kConteggio || g == Genere::kOccupate ||
         g == Genere::kCamereAgenzia || g == Genere::kOspiti || g == Genere::kLibere;
}

bool EImporto(Genere g) { return g == Genere::kImporto || g == Genere::kRetta; }

int DescrizioneFoglio::Indice(Genere genere) const {
  for (size_t i = 0; i < colonne.size(); ++i) {
    if (colonne[i].genere == genere) return static_cast<int>(i) + 1;
  }
  return 0;
}

int DescrizioneFoglio::Indice(const std::string& intestazione) const {
  for (size_t i = 0; i < colonne.size(); ++i) {
    if (colonne[i].intestazione == intestazione) return static_cast<int>(i) + 1;
  }
  throw Errore("Il foglio \"" + nome + "\" non ha la colonna \"" + intestazione + "\"");
}

excel::ValoreCella SerialeData(Giorno giorno) {
  using namespace std::chrono;
  return ValoreCella(static_cast<int64_t>((giorno - sys_days(year(1899) / December / 30)).count()));
}

const ColonnaVariazione kVariazioniMesi[5] = {
    {"Var. camere vendute", "Camere occupate", "Camere vendute AP", false},
    {"Var. % occupazione", "% occupazione", "% occupazione AP", true},
    {"Var. ADR", "ADR", "ADR AP", false},
    {"Var. RevPar", "RevPar", "RevPar AP", false},
    {"Var. Totale Retta", "Totale Retta", "Totale Retta AP", false},
};

const DescrizioneFoglio kDescrizioneData{"Data", ColonneRiepilogo("Data", 10, kFormatoData)};
const DescrizioneFoglio kDescrizioneMesi{"Mesi", ColonneRiepilogo("Mese", 10, kFormatoMese)};
const DescrizioneFoglio kDescrizioneMesiConfronto{
    "Mesi", [] {
      std::vector<Colonna> colonne = ColonneRiepilogo("Mese", 10, kFormatoMese);
      colonne.insert(colonne.end(),
                     {
                         {"Camere vendute AP", Genere::kAnnoPrecedente, "", 10},
                         {"% occupazione AP", Genere::kAnnoPrecedente, kPercento, 10},
                         {"ADR AP", Genere::kAnnoPrecedente, kEuro, 10},
                         {"RevPar AP", Genere::kAnnoPrecedente, kEuro, 10},
                         {"Totale Retta AP", Genere::kAnnoPrecedente, kEuro, 10},
                     });
      for (const ColonnaVariazione& v : kVariazioniMesi) {
        colonne.push_back({v.intestazione, Genere::kVariazione,
                           v.in_punti ? kFormatoPuntiPercentuali : kFormatoVariazioneRelativa, 10});
      }
      return colonne;
    }()};
const DescrizioneFoglio kDescrizioneDataAnnoPrecedente{"Data anno precedente",
                                                       ColonneRiepilogo("Data", 10, kFormatoData)};
const DescrizioneFoglio kDescrizioneTipoCamera{"Tipo camera",
                                               ColonneRiepilogo("Tipo camera", 50, "")};
const DescrizioneFoglio kDescrizioneAgenzia{"Agenzia", ColonneAgenzia()};

std::string LettereColonna(int colonna) {
  std::string lettere;
  for (int c = colonna; c > 0; c = (c - 1) / 26) {
    lettere.insert(lettere.begin(), static_cast<char>('A' + (c - 1) % 26));
  }
  return lettere;
}

std::string Cella(int riga, int colonna) { return LettereColonna(colonna) + std::to_string(riga); }

excel::IntervalloFoglio DatiColonna(const std::string& foglio, int colonna, int ultima) {
  return excel::IntervalloFoglio{foglio, 2, colonna, ultima, colonna};
}

excel::Grafico NuovoGrafico(excel::TipoGrafico tipo, std::string titolo, std::string categorie,
                            std::string valori, std::string formato, int riga, int colonna) {
  excel::Grafico g;
  g.tipo = tipo;
  g.titolo = std::move(titolo);
  g.titolo_categorie = std::move(categorie);
  g.titolo_valori = std::move(valori);
  g.formato_valori = std::move(formato);
  g.riga = riga;
  g.colonna = colonna;
  return g;
}

std::string CellaDi(const std::string& foglio, int riga, int colonna) {
  if (foglio.empty()) return Cella(riga, colonna);
  std::string nome;
  for (char c : foglio) nome += c == '\'' ? std::string("''") : std::string(1, c);
  return "'" + nome + "'!" + Cella(riga, colonna);
}

void ScriviIntestazioni(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione) {
  const int ultima = descrizione.NumeroColonne();
  for (int c = 1; c <= ultima; ++c) {
    const Colonna& colonna = descrizione.colonne[c - 1];
    foglio.Cells(1, c) = colonna.intestazione;
    foglio.Range(Cella(1, c)).ColumnWidth(colonna.larghezza);
  }
  foglio.Range(Cella(1, 1), Cella(1, ultima)).RowHeight(45);
  foglio.Range(Cella(1, 1), Cella(1, ultima)).FontBold();
  foglio.Range(Cella(1, 1), Cella(1, ultima)).WrapText();
}

ValoreCella SommaEsatta(excel::Worksheet& foglio, int colonna, int prima, int ultima,
                        Genere genere) {
  if (EImporto(genere)) {
    Valuta somma;
    for (int r = prima; r <= ultima; ++r) somma += foglio.Cells(r, colonna).Value().ComeValuta();
    return ValoreCella(somma);
  }
  int64_t somma = 0;
  for (int r = prima; r <= ultima; ++r) {
    if (__builtin_add_overflow(somma, foglio.Cells(r, colonna).Value().ComeIntero(), &somma)) {
      throw Errore("Overflow nella somma della colonna " + LettereColonna(colonna));
    }
  }
  return ValoreCella(somma);
}

namespace {

// Writes the summed cells of row `riga` from `somme`, by column: 0 where a summed column is
// missing there, a plain value where a sum has no formula.
void ScriviSomme(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione, int riga,
                 const std::map<int, Somma>& somme) {
  for (int c = 2; c <= descrizione.NumeroColonne(); ++c) {
    const Genere genere = descrizione.colonne[c - 1].genere;
    if (!ESomma(genere)) continue;
    auto it = somme.find(c);
    if (it == somme.end()) {
      foglio.Cells(riga, c) = EImporto(genere) ? ValoreCella(Valuta{}) : ValoreCella(0);
    } else if (it->second.formula.empty()) {
      foglio.Cells(riga, c) = it->second.valore;
    } else {
      foglio.Cells(riga, c).SetFormula(it->second.formula, it->second.valore);
    }
  }
}

// The figures of summary row `riga` its ratios are worked out from. With a kCapacita column the
// room nights available are `capacita`, written there; otherwise free rooms plus rooms sold.
Rapporti RapportiDellaRiga(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione, int riga,
                           int64_t capacita) {
  auto cella = [&](Genere g) { return Cella(riga, descrizione.Indice(g)); };
  auto intero = [&](Genere g) {
    const int c = descrizione.Indice(g);
    return c == 0 ? int64_t{0} : foglio.Cells(riga, c).Value().ComeIntero();
  };
  Rapporti r;
  r.retta = cella(Genere::kRetta);
  r.valore_retta = foglio.Cells(riga, descrizione.Indice(Genere::kRetta)).Value().ComeValuta();
  r.occupate = cella(Genere::kOccupate);
  r.valore_occupate = intero(Genere::kOccupate);
  r.ospiti = cella(Genere::kOspiti);
  r.valore_ospiti = intero(Genere::kOspiti);
  if (descrizione.Indice(Genere::kCamereAgenzia) != 0) {
    r.agenzia = cella(Genere::kCamereAgenzia);
    r.valore_agenzia = intero(Genere::kCamereAgenzia);
  }
  if (const int c = descrizione.Indice(Genere::kCapacita); c != 0) {
    foglio.Cells(riga, c) = capacita;
    r.capacita = Cella(riga, c);
    r.valore_capacita = capacita;
  } else {
    r.capacita = "(" + cella(Genere::kLibere) + "+" + r.occupate + ")";
    r.valore_capacita = intero(Genere::kLibere) + r.valore_occupate;
  }
  return r;
}

// Writes into `cella` the ratio of kind `genere` over `r` as a formula with its result; nothing
// for a kind that is no ratio.
void ScriviRapporto(excel::RiferimentoCella cella, Genere genere, const Rapporti& r) {
  // The amounts are room revenue per unit, the shares parts of the room nights available.
  auto importo = [&](const std::string& base, int64_t valore_base) {
    cella.SetFormula(ImportoPer(r.retta, base), ImportoDiviso(r.valore_retta, valore_base));
  };
  auto quota = [&](const std::string& parte, int64_t valore_parte) {
    cella.SetFormula(QuotaDi(parte, r.capacita), Frazione(valore_parte, r.valore_capacita));
  };
  if (genere == Genere::kADR) importo(r.occupate, r.valore_occupate);
  if (genere == Genere::kRevPar) importo(r.capacita, r.valore_capacita);
  if (genere == Genere::kEntrataOspite) importo(r.ospiti, r.valore_ospiti);
  if (genere == Genere::kOccupazione) quota(r.occupate, r.valore_occupate);
  if (genere == Genere::kOccupazioneAgenzia) quota(r.agenzia, r.valore_agenzia);
}

}  // namespace

void ScriviRigaSintesi(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione, int riga,
                       const ValoreCella& etichetta, const std::map<int, Somma>& somme,
                       int64_t capacita, bool grassetto) {
  const int ultima = descrizione.NumeroColonne();
  if (etichetta.Tipo() != excel::TipoCella::kTesto && !descrizione.colonne[0].formato.empty()) {
    foglio.Range(Cella(riga, 1)).NumberFormat(descrizione.colonne[0].formato);
  }
  foglio.Cells(riga, 1) = etichetta;
  ScriviSomme(foglio, descrizione, riga, somme);
  const Rapporti r = RapportiDellaRiga(foglio, descrizione, riga, capacita);
  for (int c = 2; c <= ultima; ++c) {
    ScriviRapporto(foglio.Cells(riga, c), descrizione.colonne[c - 1].genere, r);
  }
  for (int c = 1; c <= ultima; ++c) {
    excel::Intervallo intervallo = foglio.Range(Cella(riga, c));
    // The first column keeps the format of its cells.
    if (c > 1) intervallo.NumberFormat(descrizione.colonne[c - 1].formato);
    if (grassetto) intervallo.FontBold();
  }
}

int ScriviTotale(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione, int ultima,
                 int64_t capacita) {
  const int riga = std::max(ultima, 1) + 2;
  if (riga > excel::kMassimoRighe) {
    throw Errore("Troppe righe per il foglio \"" + foglio.Name() + "\": manca il posto del totale");
  }
  std::map<int, Somma> somme;
  for (int c = 2; c <= descrizione.NumeroColonne(); ++c) {
    const Genere genere = descrizione.colonne[c - 1].genere;
    if (!ESomma(genere)) continue;
    // Without data rows the range is the empty row below the headings.
    const std::string intervallo = Cella(2, c) + ":" + Cella(std::max(ultima, 2), c);
    somme[c] = {"SUBTOTAL(109," + intervallo + ")", SommaEsatta(foglio, c, 2, ultima, genere)};
  }
  ScriviRigaSintesi(foglio, descrizione, riga, "Totale", somme, capacita);
  return riga;
}

void FormattaColonne(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione, int ultima) {
  for (int c = 1; c <= descrizione.NumeroColonne(); ++c) {
    const std::string& formato = descrizione.colonne[c - 1].formato;
    if (formato.empty()) continue;
    for (int r = 2; r <= ultima; ++r) {
      excel::RiferimentoCella cella = foglio.Cells(r, c);
      const excel::TipoCella tipo = cella.Value().Tipo();
      if (tipo == excel::TipoCella::kTesto || tipo == excel::TipoCella::kVuota) continue;
      if (cella.NumberFormat().empty()) foglio.Range(Cella(r, c)).NumberFormat(formato);
    }
  }
}

void RifinisciFoglio(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione,
                     int ultima_dati, int ultima_colonna) {
  foglio.FreezePanes(2, 1);
  foglio.AutoFilter(Cella(1, 1) + ":" +
                    Cella(std::max(ultima_dati, 1), descrizione.NumeroColonne()));
  excel::ImpostazioniPagina& pagina = foglio.PageSetup();
  pagina.orizzontale = true;
  pagina.pagine_in_larghezza = 1;
  pagina.righe_ripetute = 1;
  foglio.AllargaColonne(1, ultima_colonna);
}

}  // namespace vendrix
