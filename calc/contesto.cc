#include "calc/contesto.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "calc/giorni.h"
#include "calc/vendrix_routine.h"
#include "data/tabelle.h"

namespace vendrix {

namespace t = tabelle;

ContestoCalcolo::ContestoCalcolo(DBEngine& motore_, const std::string& percorso_statistiche,
                                 LineaStato& linea_, Periodo periodo_)
    : motore(motore_), linea(linea_), periodo(std::move(periodo_)) {
  db_statistiche_ = motore.OpenDatabase(percorso_statistiche);
  db_statistiche_->BeginTrans();
  statistiche_ = db_statistiche_->OpenRecordset(t::kVendrix, dbOpenDynaset);
  db_voci_ = motore.OpenDatabase(t::kFileVociFattura);
  voci_ = db_voci_->OpenRecordset(t::kVociFattura, dbOpenDynaset);
  db_arrangiamenti_ = motore.OpenDatabase(t::kFileArrangiamenti);
  arrangiamenti_ = db_arrangiamenti_->OpenRecordset(t::kNomiArrangiamenti, dbOpenDynaset);
  db_camere_ = motore.OpenDatabase(t::kFileNumeriCamere);
  camere_ = db_camere_->OpenRecordset(t::kNumeriCamere, dbOpenDynaset);

  const Recordset& s = *statistiche_;
  campi = {
      s.IndiceCampo(t::kNumeroHotel), s.IndiceCampo(t::kDataRif),   s.IndiceCampo(t::kTotRO),
      s.IndiceCampo(t::kTotBB),       s.IndiceCampo(t::kTotHB),     s.IndiceCampo(t::kTotFB),
      s.IndiceCampo(t::kTotSupl),     s.IndiceCampo(t::kTotRetta),  s.IndiceCampo(t::kTipoCamera),
      s.IndiceCampo(t::kAgenzia),     s.IndiceCampo(t::kTotCamOcc), s.IndiceCampo(t::kTotPax),
      s.IndiceCampo(t::kExtra)};
  campo_reparto_ = voci_->IndiceCampo(t::kReparto);
  campo_tipo_ = arrangiamenti_->IndiceCampo(t::kTipo);
}

void ContestoCalcolo::Chiudi() {
  db_statistiche_->CommitTrans();
  statistiche_->Close();
  db_statistiche_->Close();
  voci_->Close();
  db_voci_->Close();
  arrangiamenti_->Close();
  db_arrangiamenti_->Close();
  camere_->Close();
  db_camere_->Close();
}

bool ContestoCalcolo::VoceArrangiamento(const std::optional<std::string>& codice) {
  // A line without a usable code matches no invoice item: it is an extra.
  if (!codice) return false;
  auto trovata = voci_note_.find(*codice);
  if (trovata != voci_note_.end()) return trovata->second;
  voci_->FindFirst("NumeroHotel = 1 and Codice = " + *codice);
  bool arrangiamento = false;
  if (!voci_->NoMatch()) {
    // An item without any department counts as a board item; an empty text does not.
    const Valore reparto = voci_->Fields(campo_reparto_).Value();
    arrangiamento = reparto.IsNull() || reparto.Testo() == "ARR";
  }
  voci_note_.emplace(*codice, arrangiamento);
  return arrangiamento;
}

Classe ContestoCalcolo::ClasseArrangiamento(const std::string& sigla) {
  auto trovata = arrangiamenti_noti_.find(sigla);
  if (trovata != arrangiamenti_noti_.end()) return trovata->second;
  arrangiamenti_->FindFirst("NumeroHotel = 1 and Sigla = " + Quota(sigla));
  Classe classe = Classe::kRO;  // a board item of an unknown arrangement is room only
  if (!arrangiamenti_->NoMatch()) {
    const std::string testo = TestoDi(arrangiamenti_->Fields(campo_tipo_).Value());
    if (testo == "S") {
      classe = Classe::kRO;
    } else if (testo == "C") {
      classe = Classe::kBB;
    } else if (testo == "M" || testo == "1") {
      classe = Classe::kHB;
    } else if (testo == "P" || testo == "A") {
      classe = Classe::kFB;
    } else {
      classe = Classe::kNessuna;
    }
  }
  arrangiamenti_noti_.emplace(sigla, classe);
  return classe;
}

CampiAddebito::CampiAddebito(const Recordset& addebiti)
    : importo(addebiti.IndiceCampo(tabelle::kImportoTotale)),
      descrizione(addebiti.IndiceCampo(tabelle::kDescrizione)),
      voce(addebiti.IndiceCampo(tabelle::kVoceAddebito)),
      arrangiamento(addebiti.IndiceCampo(tabelle::kArrangiamento)) {}

void RigaInCorso::Aggiungi(Valore RigaInCorso::*totale, int campo, const Valore& importo) {
  this->*totale = this->*totale + importo;
  statistiche->Fields(campo) = this->*totale;
}

void IniziaRiga(ContestoCalcolo& contesto, long giorno, bool cam_occ_iniziale, RigaInCorso& riga) {
  Recordset& s = contesto.statistiche();
  const auto& c = contesto.campi;
  riga.statistiche = &s;
  riga.campi = &c;
  s.AddNew();
  s.Fields(c.numero_hotel) = Valore(HotelCorrente);
  s.Fields(c.data_rif) = Valore(ChiaveDaNumeroGiorno(giorno));
  const Valore zero(Valuta{});
  riga.tot_ro = riga.tot_bb = riga.tot_hb = riga.tot_fb = zero;
  riga.tot_supl = riga.tot_retta = riga.extra = zero;
  s.Fields(c.tot_ro) = zero;
  s.Fields(c.tot_bb) = zero;
  s.Fields(c.tot_hb) = zero;
  s.Fields(c.tot_fb) = zero;
  s.Fields(c.tot_supl) = zero;
  s.Fields(c.tot_retta) = zero;
  if (cam_occ_iniziale) s.Fields(c.tot_cam_occ) = Valore(int32_t{0});
  s.Fields(c.extra) = zero;
}

void ConcludiRiga(ContestoCalcolo& contesto, const ValoriRiga& valori) {
  Recordset& s = contesto.statistiche();
  const auto& c = contesto.campi;
  s.Fields(c.tipo_camera) = valori.tipo_camera;
  if (valori.agenzia) s.Fields(c.agenzia) = *valori.agenzia;
  if (valori.cam_occ) s.Fields(c.tot_cam_occ) = *valori.cam_occ;
  s.Fields(c.tot_pax) = valori.pax;
  s.Update(dbUpdateRegular, false);
}

void ClassificaAddebito(ContestoCalcolo& contesto, RigaInCorso& riga, Recordset& line,
                        const CampiAddebito& campi) {
  const auto& c = *riga.campi;
  const Valore importo = line.Fields(campi.importo).Value();
  riga.Aggiungi(&RigaInCorso::tot_retta, c.tot_retta, importo);

  const Valore descrizione = line.Fields(campi.descrizione).Value();
  if (!descrizione.IsNull() && descrizione.Testo().find("SUPPL") != std::string::npos) {
    riga.Aggiungi(&RigaInCorso::tot_supl, c.tot_supl, importo);
    return;
  }
  if (!contesto.VoceArrangiamento(NumeroPerCriterio(line.Fields(campi.voce).Value()))) {
    riga.Aggiungi(&RigaInCorso::extra, c.extra, importo);
    return;
  }
  switch (contesto.ClasseArrangiamento(TestoDi(line.Fields(campi.arrangiamento).Value()))) {
    case Classe::kRO:
      riga.Aggiungi(&RigaInCorso::tot_ro, c.tot_ro, importo);
      break;
    case Classe::kBB:
      riga.Aggiungi(&RigaInCorso::tot_bb, c.tot_bb, importo);
      break;
    case Classe::kHB:
      riga.Aggiungi(&RigaInCorso::tot_hb, c.tot_hb, importo);
      break;
    case Classe::kFB:
      riga.Aggiungi(&RigaInCorso::tot_fb, c.tot_fb, importo);
      break;
    case Classe::kNessuna:
      break;
  }
}

bool GiorniSoggiorno(ContestoCalcolo& contesto, const Valore& arrivo, const Valore& partenza,
                     long& primo, long& ultimo) {
  long giorno_arrivo = 0, giorno_partenza = 0;
  if (!NumeroGiornoDaChiave(TestoDi(arrivo), giorno_arrivo) ||
      !NumeroGiornoDaChiave(TestoDi(partenza), giorno_partenza)) {
    ++contesto.soggiorni_ignorati;
    return false;
  }
  // The arrival day counts, the departure day does not; only days of the period give rows.
  primo = std::max(giorno_arrivo, contesto.periodo.giorno_dal);
  ultimo = std::min(giorno_partenza - 1, contesto.periodo.giorno_al);
  return true;
}

std::string TestoDi(const Valore& valore) {
  return valore.IsNull() ? std::string() : valore.Testo();
}

std::optional<double> ComeNumero(const Valore& valore) {
  if (valore.IsNull()) return std::nullopt;
  if (valore.IsNumero()) return valore.Numero();
  if (valore.Tipo() != TipoValore::kTesto) return std::nullopt;
  std::string_view testo = valore.ComeTesto();
  while (!testo.empty() && testo.front() == ' ') testo.remove_prefix(1);
  while (!testo.empty() && testo.back() == ' ') testo.remove_suffix(1);
  if (!testo.empty() && testo.front() == '+') testo.remove_prefix(1);
  double numero = 0;
  auto [fine, errore] =
      std::from_chars(testo.data(), testo.data() + testo.size(), numero, std::chars_format::fixed);
  if (testo.empty() || errore != std::errc() || fine != testo.data() + testo.size()) {
    return std::nullopt;
  }
  return numero;
}

std::string TestoNumero(double numero) {
  if (std::nearbyint(numero) == numero && std::fabs(numero) < 9e15) {
    return std::to_string(static_cast<long long>(numero));
  }
  char testo[64];
  auto [fine, errore] = std::to_chars(testo, testo + sizeof testo, numero);
  return std::string(testo, fine);
}

std::optional<std::string> NumeroPerCriterio(const Valore& valore) {
  const std::optional<double> numero = ComeNumero(valore);
  if (!numero || !std::isfinite(*numero)) return std::nullopt;
  return TestoNumero(*numero);
}

std::string CriterioGiorno(long giorno) {
  const std::string chiave = Quota(ChiaveDaNumeroGiorno(giorno));
  return "DataInizio <= " + chiave + " and DataFine > " + chiave;
}

std::optional<std::string> CartellaStorico() {
  const char* valore = std::getenv("DIRSH");
  if (valore == nullptr) return std::nullopt;
  std::string_view testo(valore);
  const size_t inizio = testo.find_first_not_of(" \t");
  if (inizio == std::string_view::npos) return std::nullopt;
  return std::string(testo);
}

}  // namespace vendrix
