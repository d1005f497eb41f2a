#include "calc/contesto.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "calc/pulizia.h"
#include "calc/vendrix_routine.h"
#include "comune/testo.h"
#include "data/tabelle.h"

namespace vendrix {

namespace t = tabelle;

Consultazioni::Consultazioni(DBEngine& motore) {
  db_voci_ = motore.OpenDatabase(t::kFileVociFattura);
  voci_ = db_voci_->OpenRecordset(t::kVociFattura);
  db_arrangiamenti_ = motore.OpenDatabase(t::kFileArrangiamenti);
  arrangiamenti_ = db_arrangiamenti_->OpenRecordset(t::kNomiArrangiamenti);
  db_camere_ = motore.OpenDatabase(t::kFileNumeriCamere);
  camere_ = db_camere_->OpenRecordset(t::kNumeriCamere);
  campo_reparto_ = voci_->IndiceCampo(t::kReparto);
  campo_tipo_ = arrangiamenti_->IndiceCampo(t::kTipo);
}

void Consultazioni::Chiudi() {
  voci_->Close();
  db_voci_->Close();
  arrangiamenti_->Close();
  db_arrangiamenti_->Close();
  camere_->Close();
  db_camere_->Close();
}

bool Consultazioni::VoceArrangiamento(const std::optional<std::string>& codice) {
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

Classe Consultazioni::ClasseArrangiamento(const std::string& sigla) {
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

ContestoCalcolo::ContestoCalcolo(DBEngine& motore_, const std::string& percorso_statistiche,
                                 LineaStato& linea_, Periodo periodo_)
    : motore(motore_), linea(linea_), periodo(std::move(periodo_)) {
  db_statistiche_ = motore.OpenDatabase(percorso_statistiche);
  db_statistiche_->BeginTrans();
  statistiche_ = db_statistiche_->OpenRecordset(t::kVendrix);
  consultazioni_ = std::make_unique<Consultazioni>(motore);

  const Recordset& s = *statistiche_;
  campi = {
      s.IndiceCampo(t::kNumeroHotel), s.IndiceCampo(t::kDataRif),   s.IndiceCampo(t::kTotRO),
      s.IndiceCampo(t::kTotBB),       s.IndiceCampo(t::kTotHB),     s.IndiceCampo(t::kTotFB),
      s.IndiceCampo(t::kTotSupl),     s.IndiceCampo(t::kTotRetta),  s.IndiceCampo(t::kTipoCamera),
      s.IndiceCampo(t::kAgenzia),     s.IndiceCampo(t::kTotCamOcc), s.IndiceCampo(t::kTotPax),
      s.IndiceCampo(t::kExtra)};
}

void ContestoCalcolo::Chiudi() {
  db_statistiche_->CommitTrans();
  statistiche_->Close();
  db_statistiche_->Close();
  consultazioni_->Chiudi();
}

CampiAddebito::CampiAddebito(const Recordset& addebiti, std::string file_addebiti,
                             std::string numero)
    : importo(addebiti.IndiceCampo(tabelle::kImportoTotale)),
      descrizione(addebiti.IndiceCampo(tabelle::kDescrizione)),
      voce(addebiti.IndiceCampo(tabelle::kVoceAddebito)),
      arrangiamento(addebiti.IndiceCampo(tabelle::kArrangiamento)),
      codice(addebiti.IndiceCampo(tabelle::kCodiceCliente)),
      file(std::move(file_addebiti)),
      numero_di(std::move(numero)) {}

void IniziaRiga(Giorno giorno, bool cam_occ_iniziale, RigaCalcolata& riga) {
  riga.giorno = giorno;
  riga.cam_occ_iniziale = cam_occ_iniziale;
  riga.totali.fill(Valuta{});
  riga.nulli.fill(false);
}

void ScriviRiga(ContestoCalcolo& contesto, const RigaCalcolata& riga, const ValoriRiga& valori) {
  Recordset& s = contesto.statistiche();
  const auto& c = contesto.campi;
  // Every field is written once, with the value the row ends with: the stored row is the one
  // that writing each change of a total as it came would store.
  s.AddNew();
  s.Fields(c.numero_hotel) = Valore(HotelCorrente);
  s.Fields(c.data_rif) = Valore(ChiaveData(riga.giorno));
  s.Fields(c.tot_ro) = riga.ValoreDi(RigaCalcolata::kRO);
  s.Fields(c.tot_bb) = riga.ValoreDi(RigaCalcolata::kBB);
  s.Fields(c.tot_hb) = riga.ValoreDi(RigaCalcolata::kHB);
  s.Fields(c.tot_fb) = riga.ValoreDi(RigaCalcolata::kFB);
  s.Fields(c.tot_supl) = riga.ValoreDi(RigaCalcolata::kSupl);
  s.Fields(c.tot_retta) = riga.ValoreDi(RigaCalcolata::kRetta);
  if (riga.cam_occ_iniziale) s.Fields(c.tot_cam_occ) = Valore(int32_t{0});
  s.Fields(c.extra) = riga.ValoreDi(RigaCalcolata::kExtra);
  s.Fields(c.tipo_camera) = valori.tipo_camera;
  if (valori.agenzia) {
    s.Fields(c.agenzia) = *valori.agenzia;
    if (!contesto.filtri_agenzia.empty() && HotelCorrente == 1) {
      // Tested as the field holds it (a text, cut to the field's size), as the clean-up reads
      // it back from the table.
      const Valore agenzia = s.Fields(c.agenzia).Value();
      if (!agenzia.IsNull()) {
        std::string testo =
            agenzia.Tipo() == TipoValore::kTesto ? agenzia.ComeTesto() : agenzia.Testo();
        if (testo != contesto.agenzia_provata_) {
          contesto.agenzia_da_pulire_ = AgenziaDaPulire(testo, contesto.filtri_agenzia);
          contesto.agenzia_provata_ = std::move(testo);
        }
        if (contesto.agenzia_da_pulire_) s.Fields(c.agenzia) = Valore(" ");
      }
    }
  }
  if (valori.cam_occ) s.Fields(c.tot_cam_occ) = *valori.cam_occ;
  s.Fields(c.tot_pax) = valori.pax;
  s.Update();
  ++contesto.righe_scritte;
  auto& somme = contesto.somme_giorno_[riga.giorno];
  for (int i = 0; i < RigaCalcolata::kTotali; ++i) {
    if (riga.nulli[i]) continue;
    const int64_t importo = riga.totali[i].Decimillesimi();
    somme[i] += importo;
    contesto.somme_assolute_[i] += importo < 0 ? -static_cast<__int128>(importo) : importo;
  }
}

void ContestoCalcolo::ControllaSomme() const {
  // The report's names of the totals, in the order of RigaCalcolata::Totale.
  static constexpr const char* kNomi[] = {"RO",           "BB", "HB", "FB", "Supplementi",
                                          "Totale Retta", "Extra"};
  constexpr __int128 kMassimo = std::numeric_limits<int64_t>::max();
  const auto fuori = [&](__int128 somma) { return somma > kMassimo || somma < -kMassimo; };
  const std::string rimedio =
      " è troppo grande per i fogli Excel (oltre 922 337 203 685 477 euro): correggere gli "
      "importi nei file dell'albergo e ripetere il calcolo.";
  for (const auto& [giorno, somme] : somme_giorno_) {
    for (int i = 0; i < RigaCalcolata::kTotali; ++i) {
      if (fuori(somme[i])) {
        throw Errore("La somma di \"" + std::string(kNomi[i]) + "\" del giorno " +
                     TestoData(giorno) + rimedio);
      }
    }
  }
  for (int i = 0; i < RigaCalcolata::kTotali; ++i) {
    if (fuori(somme_assolute_[i])) {
      throw Errore("La somma di \"" + std::string(kNomi[i]) + "\" del periodo" + rimedio);
    }
  }
}

void ClassificaAddebito(Consultazioni& consultazioni, RigaCalcolata& riga, Recordset& line,
                        const CampiAddebito& campi) {
  const Valore importo = line.Fields(campi.importo).Value();
  const auto aggiungi = [&](RigaCalcolata::Totale totale) {
    try {
      riga.Aggiungi(totale, importo);
    } catch (const Errore& e) {
      throw Errore("Importo non valido nel file '" + campi.file + "', tabella '" +
                   tabelle::kArrangiamento + "', " + campi.numero_di + " n. " +
                   TestoDi(line.Fields(campi.codice).Value()) + ": " + e.what() +
                   ". Correggere l'addebito nel programma dell'hotel e ripetere il calcolo.");
    }
  };
  aggiungi(RigaCalcolata::kRetta);

  const Valore descrizione = line.Fields(campi.descrizione).Value();
  bool supplemento = false;
  if (descrizione.Tipo() == TipoValore::kTesto) {
    supplemento = descrizione.ComeTesto().find("SUPPL") != std::string::npos;
  } else if (!descrizione.IsNull()) {
    supplemento = descrizione.Testo().find("SUPPL") != std::string::npos;
  }
  if (supplemento) {
    aggiungi(RigaCalcolata::kSupl);
    return;
  }
  if (!consultazioni.VoceArrangiamento(NumeroPerCriterio(line.Fields(campi.voce).Value()))) {
    aggiungi(RigaCalcolata::kExtra);
    return;
  }
  const Classe classe =
      consultazioni.ClasseArrangiamento(TestoDi(line.Fields(campi.arrangiamento).Value()));
  if (classe == Classe::kNessuna) return;
  // The board total of each class, in the order of Classe after kNessuna.
  static constexpr RigaCalcolata::Totale kTotaleClasse[] = {RigaCalcolata::kRO, RigaCalcolata::kBB,
                                                            RigaCalcolata::kHB, RigaCalcolata::kFB};
  aggiungi(kTotaleClasse[static_cast<int>(classe) - 1]);
}

bool GiorniSoggiorno(AmbitoPasso& ambito, const Valore& arrivo, const Valore& partenza,
                     Giorno& primo, Giorno& ultimo) {
  const std::optional<Giorno> giorno_arrivo = GiornoDaChiave(TestoDi(arrivo));
  const std::optional<Giorno> giorno_partenza = GiornoDaChiave(TestoDi(partenza));
  // A stay that departs before it arrives has no night to count: it is left out as one whose
  // dates are no days, and counted.
  if (!giorno_arrivo || !giorno_partenza || *giorno_partenza < *giorno_arrivo) {
    ++ambito.soggiorni_ignorati;
    return false;
  }
  // The arrival day counts, the departure day does not; only days of the period give rows.
  primo = std::max(*giorno_arrivo, ambito.periodo.giorno_dal);
  ultimo = std::min(*giorno_partenza - std::chrono::days{1}, ambito.periodo.giorno_al);
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
  testo = SenzaSpazi(testo, kSoloSpazi);
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

void AggiungiCriterioGiorno(std::string& criterio, Giorno giorno) {
  const std::string chiave = ChiaveData(giorno);
  criterio += "DataInizio <= ";
  Quota(chiave, criterio);
  criterio += " and DataFine > ";
  Quota(chiave, criterio);
}


}  // namespace vendrix
