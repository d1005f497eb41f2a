// The room-type and the agency workbooks beyond their filled rows: totals, the agency sheet's
// reconciliation with the daily one, and a chart each.

#include <algorithm>

#include "data/errore.h"
#include "data/tabelle.h"
#include "reports/completa_report.h"
#include "reports/descrizione_fogli.h"
#include "reports/fogli_report.h"

namespace vendrix {

namespace {

using excel::ValoreCella;

constexpr int kPrimeAgenzie = 10;
constexpr const char* kAgenzieFiltrate = "Agenzie filtrate";

// The first column of the small table of the agencies with the most room revenue: one apart from
// the sheet's own.
int ColonnaPrimeAgenzie() { return kDescrizioneAgenzia.NumeroColonne() + 2; }

// The last row of a sheet that holds anything; 1 for headings only.
int UltimaRiga(const excel::Worksheet& foglio) {
  return std::max(1, static_cast<int>(foglio.Righe().size()));
}

void GraficoTipi(excel::Worksheet& foglio, int ultima) {
  const DescrizioneFoglio& d = kDescrizioneTipoCamera;
  const int fine = std::max(ultima, 2);
  auto colonna = [&](Genere g) { return DatiColonna(d.nome, d.Indice(g), fine); };
  excel::Grafico g =
      NuovoGrafico(excel::TipoGrafico::kColonne, "Totale Retta e % occupazione per tipo camera",
                   "Tipo camera", "Totale Retta", kFormatoEuroIntero, 1, d.NumeroColonne() + 2);
  g.titolo_valori_secondari = "% occupazione";
  g.formato_valori_secondari = "0%";
  const excel::IntervalloFoglio tipi = DatiColonna(d.nome, 1, fine);
  g.serie = {{"Totale Retta", tipi, colonna(Genere::kRetta), false},
             {"% occupazione", tipi, colonna(Genere::kOccupazione), true}};
  foglio.AggiungiGrafico(g);
}

// Beside the agency table: the ten agencies with the most room revenue over all their room types,
// as a table and as horizontal bars. The agencies blanked by the filter file (their name is only
// blanks) count as one, "Agenzie filtrate", ranked with the others. Returns whether that line is
// among the ten.
bool PrimeAgenzie(excel::Worksheet& foglio, int ultima) {
  const DescrizioneFoglio& d = kDescrizioneAgenzia;
  const int colonna_retta = d.Indice(Genere::kRetta);
  std::map<std::string, Valuta> per_agenzia;
  Valuta filtrate;
  bool con_filtrate = false;
  for (int r = 2; r <= ultima; ++r) {
    const std::string agenzia = foglio.TestoMostrato(r, 1);
    const Valuta retta = foglio.Cells(r, colonna_retta).Value().ComeValuta();
    if (agenzia.find_first_not_of(' ') == std::string::npos) {
      filtrate += retta;
      con_filtrate = true;
    } else {
      per_agenzia[agenzia] += retta;
    }
  }
  struct Riga {
    std::string nome;
    Valuta retta;
    bool filtrate;
  };
  std::vector<Riga> ordinate;
  for (const auto& [nome, retta] : per_agenzia) ordinate.push_back({nome, retta, false});
  if (con_filtrate) ordinate.push_back({kAgenzieFiltrate, filtrate, true});
  std::stable_sort(ordinate.begin(), ordinate.end(),
                   [](const Riga& a, const Riga& b) { return a.retta > b.retta; });
  if (ordinate.size() > kPrimeAgenzie) ordinate.resize(kPrimeAgenzie);

  const int nome = ColonnaPrimeAgenzie(), importo = nome + 1;
  foglio.Cells(1, nome) = "Prime 10 agenzie";
  foglio.Cells(1, importo) = "Totale Retta";
  foglio.Range(Cella(1, nome), Cella(1, importo)).FontBold();
  foglio.Range(Cella(1, nome), Cella(1, importo)).WrapText();
  // Names stay texts, even one made of digits.
  foglio.Range(Cella(2, nome), Cella(kPrimeAgenzie + 1, nome)).NumberFormat(excel::kFormatoTesto);
  bool filtrate_tra_le_prime = false;
  for (size_t i = 0; i < ordinate.size(); ++i) {
    const int riga = static_cast<int>(i) + 2;
    foglio.Cells(riga, nome) = ordinate[i].nome;
    foglio.Cells(riga, importo) = ordinate[i].retta;
    filtrate_tra_le_prime = filtrate_tra_le_prime || ordinate[i].filtrate;
  }
  const int fine = std::max(2, static_cast<int>(ordinate.size()) + 1);
  excel::Grafico g = NuovoGrafico(excel::TipoGrafico::kBarre, "Prime 10 agenzie per Totale Retta",
                                  "", "Totale Retta", kFormatoEuroIntero, kPrimeAgenzie + 3, nome);
  g.serie.push_back(
      {"Totale Retta", DatiColonna(d.nome, nome, fine), DatiColonna(d.nome, importo, fine), false});
  g.altezza = 400;  // room for the ten names
  foglio.AggiungiGrafico(g);
  return filtrate_tra_le_prime;
}

}  // namespace

SommeSenzaAgenzia SommaSenzaAgenzia(Recordset& gruppi) {
  const ColonneGruppi colonne(kDescrizioneAgenzia, gruppi);
  auto importo = [](int c) { return EImporto(kDescrizioneAgenzia.colonne[c - 1].genere); };
  SommeSenzaAgenzia somme;
  for (const auto& [c, campo] : colonne.somme) somme[c] = importo(c) ? Valuta{} : ValoreCella(0);
  const int agenzia = gruppi.IndiceCampo(tabelle::kAgenzia);
  for (gruppi.FindFirst("NumeroHotel = 1"); !gruppi.NoMatch(); gruppi.FindNext("NumeroHotel = 1")) {
    // The agency sheet takes the texts from a single space up: the others are left out there.
    const Valore a = gruppi.Fields(agenzia).Value();
    if (a.Tipo() == TipoValore::kTesto && a.ComeTesto() >= std::string(" ")) continue;
    for (const auto& [c, campo] : colonne.somme) {
      const ValoreCella v = ValoreCella::DaCampo(gruppi.Fields(campo).Value());
      somme[c] = somme[c] + (importo(c) ? ValoreCella(v.ComeValuta()) : v.ComeIntero());
    }
  }
  return somme;
}

void CompletaReportTipoCamera(excel::Workbook& cartella, const PeriodoReport& periodo) {
  excel::Worksheet& foglio = cartella.Sheets(1);
  const DescrizioneFoglio& d = kDescrizioneTipoCamera;
  const int ultima = UltimaRiga(foglio);
  FormattaColonne(foglio, d, ultima);
  // Free rooms plus rooms sold of the totals: the sum of the types' room nights.
  ScriviTotale(foglio, d, ultima);
  GraficoTipi(foglio, ultima);
  RifinisciFoglio(foglio, d, ultima, d.NumeroColonne());
  ImpostaProprieta(cartella, "Vendite per tipo camera", periodo);
}

void CompletaReportAgenzia(excel::Workbook& cartella, const PeriodoReport& periodo,
                           const SommeSenzaAgenzia& senza_agenzia) {
  excel::Worksheet& foglio = cartella.Sheets(1);
  const DescrizioneFoglio& d = kDescrizioneAgenzia;
  const int ultima = UltimaRiga(foglio);
  if (ultima + 4 > excel::kMassimoRighe) {
    throw Errore("Troppe righe per il foglio \"Agenzia\": manca il posto dei totali");
  }
  FormattaColonne(foglio, d, ultima);
  // The rows of one room type repeat its room nights for each agency: a total takes the hotel's.
  const int64_t notti = periodo.totale_camere * periodo.giorni_periodo;
  const int totale = ScriviTotale(foglio, d, ultima, notti);

  std::map<int, Somma> senza, generale;
  for (const auto& [c, valore] : senza_agenzia) {
    senza[c] = {"", valore};
    generale[c] = {Cella(totale, c) + "+" + Cella(totale + 1, c),
                   foglio.Cells(totale, c).Value() + valore};
  }
  ScriviRigaSintesi(foglio, d, totale + 1, "Senza agenzia", senza, notti);
  ScriviRigaSintesi(foglio, d, totale + 2, "Totale generale", generale, notti);

  const bool con_filtrate = PrimeAgenzie(foglio, ultima);
  foglio.AddComment(1, d.Indice(Genere::kCapacita),
                    "Notti camera disponibili: camere del tipo per giorni del periodo, "
                    "non le camere rimaste libere.");
  RifinisciFoglio(foglio, d, ultima, ColonnaPrimeAgenzie() + 1);
  // Under the ten, once the widths are fitted: a sentence may run past its column.
  if (con_filtrate) {
    foglio.Cells(kPrimeAgenzie + 2, ColonnaPrimeAgenzie()) =
        std::string(kAgenzieFiltrate) + ": le agenzie elencate in VendrixFiltro.txt, insieme.";
  }
  ImpostaProprieta(cartella, "Vendite per agenzia", periodo);
}

}  // namespace vendrix
