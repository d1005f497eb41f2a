// The row shared by the daily and the room-type sheet: the statistics groups of one day or of one
// room type folded into sums, and the key figures worked out from them.

#include "data/tabelle.h"
#include "reports/fogli_report.h"
#include "reports/valori_report.h"

namespace vendrix {

namespace {

using excel::ValoreCella;

// Positions of the fields of a grouped query, looked up once per row.
struct CampiGruppo {
  explicit CampiGruppo(const Recordset& gruppi)
      : ro(gruppi.IndiceCampo("TTRO")),
        bb(gruppi.IndiceCampo("TTBB")),
        hb(gruppi.IndiceCampo("TTHB")),
        fb(gruppi.IndiceCampo("TTFB")),
        supl(gruppi.IndiceCampo("TTSupl")),
        retta(gruppi.IndiceCampo("TTRe")),
        extra(gruppi.IndiceCampo("TTEx")),
        camere(gruppi.IndiceCampo("TTCOc")),
        pax(gruppi.IndiceCampo("TTPx")),
        agenzia(gruppi.IndiceCampo(tabelle::kAgenzia)) {}
  int ro, bb, hb, fb, supl, retta, extra, camere, pax, agenzia;
};

ValoreCella Leggi(Recordset& gruppi, int indice) {
  return ValoreCella::DaCampo(gruppi.Fields(indice).Value());
}

void ScriviRigaZero(excel::Worksheet& foglio, int riga, const ValoreCella& prima, int64_t base) {
  using namespace colonna;
  const ValoreCella zero_valuta(Valuta{});
  foglio.Cells(riga, kPrima) = prima;
  for (int c = kRO; c <= kADR; ++c) foglio.Cells(riga, c) = zero_valuta;
  foglio.Cells(riga, kOccupazione) = kPercentualeZero;
  foglio.Cells(riga, kRevPar) = 0;
  foglio.Cells(riga, kCamereOccupate) = 0;
  foglio.Cells(riga, kOccupazioneAgenzia) = kPercentualeZero;
  foglio.Cells(riga, kCamereAgenzia) = 0;
  foglio.Cells(riga, kCamereLibere) = base;
  foglio.Cells(riga, kEntrataOspite) = 0;
  foglio.Cells(riga, kExtra) = zero_valuta;
  foglio.Cells(riga, kTotPax) = 0;
}

void Aggiungi(excel::Worksheet& foglio, int riga, int col, const ValoreCella& valore) {
  foglio.Cells(riga, col) = foglio.Cells(riga, col).Value() + valore;
}

void InValuta(excel::Worksheet& foglio, int riga, int col) {
  foglio.Cells(riga, col) = foglio.Cells(riga, col).Value().ComeValuta();
}

}  // namespace

bool ScriviRigaRiepilogo(excel::Worksheet& foglio, int riga, const ValoreCella& prima,
                         Recordset& gruppi, std::string_view criteri, int64_t base) {
  using namespace colonna;
  gruppi.FindFirst(criteri);
  if (gruppi.NoMatch()) {
    ScriviRigaZero(foglio, riga, prima, base);
    return false;
  }
  const CampiGruppo campo(gruppi);

  // The first group as it stands; key figures start at 0.
  const ValoreCella camere = Leggi(gruppi, campo.camere);
  foglio.Cells(riga, kPrima) = prima;
  foglio.Cells(riga, kRO) = Leggi(gruppi, campo.ro);
  foglio.Cells(riga, kBB) = Leggi(gruppi, campo.bb);
  foglio.Cells(riga, kHB) = Leggi(gruppi, campo.hb);
  foglio.Cells(riga, kFB) = Leggi(gruppi, campo.fb);
  foglio.Cells(riga, kSupplementi) = Leggi(gruppi, campo.supl);
  foglio.Cells(riga, kTotaleRetta) = Leggi(gruppi, campo.retta);
  foglio.Cells(riga, kADR) = 0;
  foglio.Cells(riga, kOccupazione) = 0;
  foglio.Cells(riga, kRevPar) = 0;
  foglio.Cells(riga, kCamereOccupate) = camere;
  foglio.Cells(riga, kOccupazioneAgenzia) = 0;
  foglio.Cells(riga, kCamereAgenzia) =
      EGruppoAgenzia(gruppi.Fields(campo.agenzia).Value()) ? camere : ValoreCella(0);
  foglio.Cells(riga, kCamereLibere) = base;
  foglio.Cells(riga, kEntrataOspite) = 0;
  foglio.Cells(riga, kExtra) = Leggi(gruppi, campo.extra);
  foglio.Cells(riga, kTotPax) = Leggi(gruppi, campo.pax);

  // The further groups of the same day or type are added into the cells.
  for (gruppi.FindNext(criteri); !gruppi.NoMatch(); gruppi.FindNext(criteri)) {
    const ValoreCella altre_camere = Leggi(gruppi, campo.camere);
    Aggiungi(foglio, riga, kRO, Leggi(gruppi, campo.ro));
    Aggiungi(foglio, riga, kBB, Leggi(gruppi, campo.bb));
    Aggiungi(foglio, riga, kHB, Leggi(gruppi, campo.hb));
    Aggiungi(foglio, riga, kFB, Leggi(gruppi, campo.fb));
    Aggiungi(foglio, riga, kSupplementi, Leggi(gruppi, campo.supl));
    Aggiungi(foglio, riga, kTotaleRetta, Leggi(gruppi, campo.retta));
    Aggiungi(foglio, riga, kCamereOccupate, altre_camere);
    if (EGruppoAgenzia(gruppi.Fields(campo.agenzia).Value())) {
      Aggiungi(foglio, riga, kCamereAgenzia, altre_camere);
    }
    Aggiungi(foglio, riga, kExtra, Leggi(gruppi, campo.extra));
    Aggiungi(foglio, riga, kTotPax, Leggi(gruppi, campo.pax));
  }

  for (int c = kRO; c <= kTotaleRetta; ++c) InValuta(foglio, riga, c);

  // Key figures, each from the cells as they stand. A figure whose divisor is 0 takes the value
  // the zero row shows in its column.
  const Valuta retta = foglio.Cells(riga, kTotaleRetta).Value().ComeValuta();
  const int64_t occupate = foglio.Cells(riga, kCamereOccupate).Value().ComeIntero();
  foglio.Cells(riga, kADR) = occupate != 0 ? ImportoArrotondato(retta, occupate) : Valuta{};
  foglio.Cells(riga, kOccupazione) = TestoPercentuale(occupate, base);
  if (base != 0) {
    const Valuta adr = foglio.Cells(riga, kADR).Value().ComeValuta();
    foglio.Cells(riga, kRevPar) = ImportoProporzionale(adr, occupate, base);
  } else {
    foglio.Cells(riga, kRevPar) = 0;
  }
  const int64_t di_agenzia = foglio.Cells(riga, kCamereAgenzia).Value().ComeIntero();
  foglio.Cells(riga, kOccupazioneAgenzia) = TestoPercentuale(di_agenzia, base);
  foglio.Cells(riga, kCamereLibere) = base - occupate;
  const int64_t ospiti = foglio.Cells(riga, kTotPax).Value().ComeIntero();
  if (ospiti != 0) {
    foglio.Cells(riga, kEntrataOspite) = ImportoArrotondato(retta, ospiti);
  } else {
    foglio.Cells(riga, kEntrataOspite) = 0;
  }
  InValuta(foglio, riga, kExtra);
  return true;
}

int64_t QuantitaTipo(Recordset& tipi_camere) {
  const Valore quantita = tipi_camere.Fields(tabelle::kQuantita).Value();
  return quantita.IsNull() ? 0 : quantita.Intero();
}

}  // namespace vendrix
