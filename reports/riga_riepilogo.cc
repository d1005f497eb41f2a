// The grouped queries on the statistics store and the rows they fill: the groups of one day, one
// room type or one agency and room type folded into sums, and the key figures worked out from
// them.

#include <string>

#include "data/tabelle.h"
#include "reports/fogli_report.h"
#include "reports/valori_report.h"

namespace vendrix {

namespace {

using excel::ValoreCella;

// Each summed column of the sheets, by heading: the statistics field it sums and the name the
// grouped queries give that sum.
struct CampoGruppi {
  const char* intestazione;
  const char* campo;
  const char* somma;
};
// clang-format off
constexpr CampoGruppi kCampiGruppi[] = {
    {"RO", tabelle::kTotRO, "TTRO"}, {"BB", tabelle::kTotBB, "TTBB"},
    {"HB", tabelle::kTotHB, "TTHB"}, {"FB", tabelle::kTotFB, "TTFB"},
    {"Supplementi", tabelle::kTotSupl, "TTSupl"}, {"Totale Retta", tabelle::kTotRetta, "TTRe"},
    {"Extra", tabelle::kExtra, "TTEx"}, {"Camere occupate", tabelle::kTotCamOcc, "TTCOc"},
    {"Tot Pax", tabelle::kTotPax, "TTPx"}};
// clang-format on

// The sums the grouped queries select.
const std::string kSomme = [] {
  std::string somme;
  for (const CampoGruppi& c : kCampiGruppi) {
    somme += std::string(somme.empty() ? "" : ",") + "sum(" + c.campo + ") as " + c.somma;
  }
  return somme;
}();

ValoreCella Leggi(Recordset& gruppi, int indice) {
  return ValoreCella::DaCampo(gruppi.Fields(indice).Value());
}

// The row of a day or a room type without statistics: amounts and ADR 0.00, shares "0 %", the
// room nights all free, every other figure 0.
void ScriviRigaZero(excel::Worksheet& foglio, const DescrizioneFoglio& d, int riga,
                    const ValoreCella& prima, int64_t base) {
  foglio.Cells(riga, 1) = prima;
  for (int c = 2; c <= d.NumeroColonne(); ++c) {
    const Genere g = d.colonne[c - 1].genere;
    if (EImporto(g) || g == Genere::kADR) {
      foglio.Cells(riga, c) = Valuta{};
    } else if (g == Genere::kOccupazione || g == Genere::kOccupazioneAgenzia) {
      foglio.Cells(riga, c) = kPercentualeZero;
    } else {
      foglio.Cells(riga, c) = g == Genere::kLibere ? base : int64_t{0};
    }
  }
}

}  // namespace

const std::string kGruppiPerGiorno = "Select NumeroHotel,DataRif," + kSomme +
                                     " From Vendrix Group by NumeroHotel,DataRif Order by DataRif";
const std::string kCamereAgenziaPerGiorno =
    "Select NumeroHotel,DataRif,sum(TotCamOcc) as TTCOc From Vendrix Where Agenzia > ' ' "
    "Group by NumeroHotel,DataRif Order by DataRif";
const std::string kGruppiPerTipo =
    "Select NumeroHotel,TipoCamera," + kSomme +
    ",Agenzia From Vendrix Group by NumeroHotel,TipoCamera,Agenzia Order by TipoCamera;";
const std::string kGruppiPerAgenzia =
    "Select NumeroHotel," + kSomme +
    ",Agenzia,TipoCamera From Vendrix Where Agenzia >= ' ' "
    "Group by NumeroHotel,Agenzia,TipoCamera Order by Agenzia,TipoCamera;";

ColonneGruppi::ColonneGruppi(const DescrizioneFoglio& d, const Recordset& gruppi)
    : descrizione(d),
      campo_camere(gruppi.IndiceCampo("TTCOc")),
      retta(d.Indice(Genere::kRetta)),
      occupate(d.Indice(Genere::kOccupate)),
      camere_agenzia(d.Indice(Genere::kCamereAgenzia)),
      ospiti(d.Indice(Genere::kOspiti)) {
  for (const CampoGruppi& c : kCampiGruppi) {
    somme.emplace_back(d.Indice(c.intestazione), gruppi.IndiceCampo(c.somma));
  }
}

void AggiungiGruppo(excel::Worksheet& foglio, const ColonneGruppi& colonne, int riga,
                    Recordset& gruppi) {
  for (const auto& [c, campo] : colonne.somme) {
    foglio.Cells(riga, c) = foglio.Cells(riga, c).Value() + Leggi(gruppi, campo);
  }
}

void ScriviRapporti(excel::Worksheet& foglio, const ColonneGruppi& colonne, int riga,
                    int64_t base) {
  const DescrizioneFoglio& d = colonne.descrizione;
  for (const auto& [c, campo] : colonne.somme) {
    if (EImporto(d.colonne[c - 1].genere)) {
      foglio.Cells(riga, c) = foglio.Cells(riga, c).Value().ComeValuta();
    }
  }
  auto intero = [&](int c) { return foglio.Cells(riga, c).Value().ComeIntero(); };
  const Valuta retta = foglio.Cells(riga, colonne.retta).Value().ComeValuta();
  const int64_t occupate = intero(colonne.occupate), ospiti = intero(colonne.ospiti);
  const Valuta adr = occupate != 0 ? ImportoArrotondato(retta, occupate) : Valuta{};
  for (int c = 2; c <= d.NumeroColonne(); ++c) {
    excel::RiferimentoCella cella = foglio.Cells(riga, c);
    switch (d.colonne[c - 1].genere) {
      case Genere::kADR:
        cella = adr;
        break;
      case Genere::kOccupazione:
        cella = TestoPercentuale(occupate, base);
        break;
      case Genere::kOccupazioneAgenzia:
        cella = TestoPercentuale(intero(colonne.camere_agenzia), base);
        break;
      case Genere::kRevPar:
        cella = base != 0 ? ValoreCella(ImportoProporzionale(adr, occupate, base)) : 0;
        break;
      case Genere::kEntrataOspite:
        cella = ospiti != 0 ? ValoreCella(ImportoArrotondato(retta, ospiti)) : 0;
        break;
      case Genere::kLibere:
        cella = base - occupate;
        break;
      case Genere::kCapacita:
        cella = base;
        break;
      default:
        break;
    }
  }
}

bool ScriviRigaRiepilogo(excel::Worksheet& foglio, const ColonneGruppi& colonne, int riga,
                         const ValoreCella& prima, Recordset& gruppi, std::string_view criteri,
                         int64_t base, Recordset* camere_agenzia) {
  gruppi.FindFirst(criteri);
  if (gruppi.NoMatch()) {
    ScriviRigaZero(foglio, colonne.descrizione, riga, prima, base);
    return false;
  }
  foglio.Cells(riga, 1) = prima;
  excel::RiferimentoCella di_agenzia = foglio.Cells(riga, colonne.camere_agenzia);
  const int agenzia = camere_agenzia == nullptr ? gruppi.IndiceCampo(tabelle::kAgenzia) : -1;
  for (; !gruppi.NoMatch(); gruppi.FindNext(criteri)) {
    AggiungiGruppo(foglio, colonne, riga, gruppi);
    if (agenzia >= 0) {
      const bool con_agenzia = EGruppoAgenzia(gruppi.Fields(agenzia).Value());
      di_agenzia =
          di_agenzia.Value() + (con_agenzia ? Leggi(gruppi, colonne.campo_camere) : ValoreCella(0));
    }
  }
  if (camere_agenzia != nullptr) {
    camere_agenzia->FindFirst(criteri);
    di_agenzia = camere_agenzia->NoMatch()
                     ? ValoreCella(0)
                     : Leggi(*camere_agenzia, camere_agenzia->IndiceCampo("TTCOc"));
  }
  ScriviRapporti(foglio, colonne, riga, base);
  return true;
}

int64_t QuantitaTipo(Recordset& tipi_camere) {
  const Valore quantita = tipi_camere.Fields(tabelle::kQuantita).Value();
  return quantita.IsNull() ? 0 : quantita.Intero();
}

}  // namespace vendrix
