// Sheet "Agenzia": one row per agency and room type with statistics in the period.

#include "data/tabelle.h"
#include "reports/descrizione_fogli.h"
#include "reports/fogli_report.h"
#include "reports/valori_report.h"

namespace vendrix {

namespace {

using excel::ValoreCella;

// Columns of the agency sheet.
constexpr int kAgenzia = 1;
constexpr int kTipoCamera = 2;
constexpr int kRO = 3;
constexpr int kTotaleRetta = 8;
constexpr int kADR = 9;
constexpr int kOccupazione = 10;
constexpr int kRevPar = 11;
constexpr int kCamereOccupate = 12;
constexpr int kCapacita = 13;  // headed "Camere libere"
constexpr int kEntrataOspite = 14;
constexpr int kExtra = 15;
constexpr int kTotPax = 16;

// The room-type code without leading and trailing spaces.
std::string SenzaSpazi(const std::string& testo) {
  size_t inizio = testo.find_first_not_of(' ');
  if (inizio == std::string::npos) return "";
  return testo.substr(inizio, testo.find_last_not_of(' ') - inizio + 1);
}

}  // namespace

const char* const kGruppiPerAgenzia =
    "Select NumeroHotel,sum(TotRO) as TTRO,sum(TotBB) as TTBB,sum(TotHB) as TTHB,"
    "sum(TotFB) as TTFB,sum(TotSupl) as TTSupl,sum(TotRetta) as TTRe,sum(Extra) as TTEx,"
    "sum(TotCamOcc) as TTCOc,sum(TotPax) as TTPx,Agenzia,TipoCamera From Vendrix "
    "Where Agenzia >= ' ' Group by NumeroHotel,Agenzia,TipoCamera Order by Agenzia,TipoCamera;";

void PreparaFoglioAgenzia(excel::Worksheet& foglio) {
  ScriviIntestazioni(foglio, kDescrizioneAgenzia);
}

void RiempiFoglioAgenzia(excel::Worksheet& foglio, Recordset& gruppi, Recordset& tipi_camere,
                         const PeriodoReport& periodo) {
  const int somme[] = {gruppi.IndiceCampo("TTRO"),   gruppi.IndiceCampo("TTBB"),
                       gruppi.IndiceCampo("TTHB"),   gruppi.IndiceCampo("TTFB"),
                       gruppi.IndiceCampo("TTSupl"), gruppi.IndiceCampo("TTRe")};
  const int campo_agenzia = gruppi.IndiceCampo(tabelle::kAgenzia);
  const int campo_tipo = gruppi.IndiceCampo(tabelle::kTipoCamera);
  const int campo_camere = gruppi.IndiceCampo("TTCOc");
  const int campo_extra = gruppi.IndiceCampo("TTEx");
  const int campo_pax = gruppi.IndiceCampo("TTPx");

  int64_t riga = 2;
  for (gruppi.FindFirst("NumeroHotel = 1"); !gruppi.NoMatch(); gruppi.FindNext("NumeroHotel = 1")) {
    if (riga > excel::kMassimoRighe) {
      throw Errore("Troppe righe per il foglio \"Agenzia\": al massimo " +
                   std::to_string(excel::kMassimoRighe - 1) + " agenzie e tipi camera");
    }
    const int r = static_cast<int>(riga);
    auto valore = [&](int indice) { return ValoreCella::DaCampo(gruppi.Fields(indice).Value()); };

    foglio.Cells(r, kAgenzia) = valore(campo_agenzia);
    for (int i = 0; i < 6; ++i) foglio.Cells(r, kRO + i) = valore(somme[i]).ComeValuta();
    foglio.Cells(r, kCamereOccupate) = valore(campo_camere);

    const Valuta retta = foglio.Cells(r, kTotaleRetta).Value().ComeValuta();
    const int64_t occupate = foglio.Cells(r, kCamereOccupate).Value().ComeIntero();
    foglio.Cells(r, kADR) = occupate != 0 ? ImportoArrotondato(retta, occupate) : Valuta{};

    // The room type of the group; a code missing from the room types offers no room nights.
    const Valore tipo = gruppi.Fields(campo_tipo).Value();
    tipi_camere.FindFirst("NumeroHotel = 1 and Sigla = " +
                          Quota(SenzaSpazi(tipo.IsNull() ? "" : tipo.Testo())));
    int64_t capacita = 0;
    if (!tipi_camere.NoMatch()) {
      capacita = QuantitaTipo(tipi_camere) * periodo.giorni_periodo;
      foglio.Cells(r, kCapacita) = capacita;
      foglio.Cells(r, kTipoCamera) =
          ValoreCella::DaCampo(tipi_camere.Fields(tabelle::kDescrizione).Value());
    } else {
      foglio.Cells(r, kCapacita) = capacita;
      foglio.Cells(r, kTipoCamera) = ValoreCella::DaCampo(tipo);
    }

    foglio.Cells(r, kOccupazione) = TestoPercentuale(occupate, capacita);
    if (capacita != 0) {
      const Valuta adr = foglio.Cells(r, kADR).Value().ComeValuta();
      foglio.Cells(r, kRevPar) = ImportoProporzionale(adr, occupate, capacita);
    } else {
      foglio.Cells(r, kRevPar) = 0;
    }
    foglio.Cells(r, kExtra) = valore(campo_extra).ComeValuta();
    foglio.Cells(r, kTotPax) = valore(campo_pax);
    const int64_t ospiti = foglio.Cells(r, kTotPax).Value().ComeIntero();
    if (ospiti != 0) {
      foglio.Cells(r, kEntrataOspite) = ImportoArrotondato(retta, ospiti);
    } else {
      foglio.Cells(r, kEntrataOspite) = 0;
    }
    ++riga;
  }
}

}  // namespace vendrix
