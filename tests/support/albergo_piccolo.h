#ifndef VENDRIX_TESTS_SUPPORT_ALBERGO_PICCOLO_H_
#define VENDRIX_TESTS_SUPPORT_ALBERGO_PICCOLO_H_

// A small hotel written by a test from a list of stays, so that the test can work out from the
// same list what each figure must be: ten rooms (6 DBL, 4 SGL), one charge line of board and one
// of extras per night of a stay. With it, the values its tables hold and an interface that
// records what a run says.

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "comune/date.h"
#include "comune/interfaccia.h"
#include "data/tabelle.h"

namespace vendrix::prova {

inline Giorno G(const std::string& chiave) { return *GiornoDaChiave(chiave); }

// Values as the hotel tables hold them: a number, a text, an amount in euro.
inline Valore N(int32_t n) { return Valore(n); }
inline Valore S(const char* s) { return Valore(s); }
inline Valore S(const std::string& s) { return Valore(s); }
inline Valore E(double euro) { return Valore(Valuta::DaDouble(euro)); }

// An interface that records what a run says: its status lines and its messages.
class InterfacciaRegistrata : public Interfaccia {
 public:
  void ImpostaStato(const std::string& testo) override { stati.push_back(testo); }
  void MsgBox(const std::string& testo, const std::string&) override { messaggi.push_back(testo); }
  std::vector<std::string> stati, messaggi;
};

struct SoggiornoPiantato {
  enum Fonte { kScheda, kStorico, kPrenotazione } fonte;
  const char* tipo_prenotazione;  // bookings: "C", "D" or "O"
  const char* camera;             // "101", "102" (DBL) or "201" (SGL)
  std::string arrivo;             // date keys
  std::string partenza;
  int ospiti;                 // cards: one card per guest, the first carries the room
  double retta_notte;         // board, "BB", per night and stay (on the first card)
  double extra_notte;         // extras per night and stay
  const char* agenzia;        // "" for none
  const char* partito = "S";  // cards: "N" while in the house

  const char* TipoCamera() const { return camera[0] == '2' ? "SGL" : "DBL"; }
  int64_t Notti() const { return (G(partenza) - G(arrivo)).count(); }
  bool Copre(Giorno notte) const { return G(arrivo) <= notte && notte < G(partenza); }
};

class AlbergoPiccolo {
 public:
  AlbergoPiccolo() {
    char modello[] = "/tmp/vendrix_albergo_XXXXXX";
    cartella_ = mkdtemp(modello);
    unsetenv("DIRSH");
    std::filesystem::create_directory(cartella_ / "tmp");
    setenv("TMPDIR", (cartella_ / "tmp").c_str(), 1);
    demo::CreaFileHotel(cartella_.string());
    namespace t = tabelle;
    Metti(t::kFileTipiCamere, t::kTipiCamere,
          {t::kNumeroHotel, t::kSigla, t::kTipologia, t::kDescrizione, t::kQuantita},
          {{N(1), S("DBL"), S("C"), S("Doppia"), N(6)},
           {N(1), S("SGL"), S("C"), S("Singola"), N(4)}});
    Metti(t::kFileNumeriCamere, t::kNumeriCamere,
          {t::kNumeroHotel, t::kNumeroCamera, t::kTipoCamera},
          {{N(1), S("101"), S("DBL")}, {N(1), S("102"), S("DBL")}, {N(1), S("201"), S("SGL")}});
    Metti(t::kFileVociFattura, t::kVociFattura,
          {t::kNumeroHotel, t::kCodice, t::kDescrizione, t::kReparto},
          {{N(1), N(1), S("Pensione"), S("ARR")}, {N(1), N(2), S("Bar"), S("BAR")}});
    Metti(t::kFileArrangiamenti, t::kNomiArrangiamenti,
          {t::kNumeroHotel, t::kSigla, t::kDescrizione, t::kTipo},
          {{N(1), S("BB"), S("Colazione"), S("C")}});
  }
  ~AlbergoPiccolo() {
    unsetenv("TMPDIR");
    std::error_code e;
    std::filesystem::remove_all(cartella_, e);
  }
  AlbergoPiccolo(const AlbergoPiccolo&) = delete;
  AlbergoPiccolo& operator=(const AlbergoPiccolo&) = delete;

  const std::filesystem::path& cartella() const { return cartella_; }

  // Many stays at once: each table written once, in one transaction.
  void Pianta(const std::vector<SoggiornoPiantato>& soggiorni) {
    raccogli_ = true;
    for (const SoggiornoPiantato& s : soggiorni) Pianta(s);
    raccogli_ = false;
    for (auto& [dove, cosa] : in_attesa_) {
      Metti(dove.first, dove.second.c_str(), cosa.first, cosa.second);
    }
    in_attesa_.clear();
  }

  void Pianta(const SoggiornoPiantato& s) {
    namespace t = tabelle;
    const int32_t n = ++numero_;
    if (s.fonte == SoggiornoPiantato::kPrenotazione) {
      Metti(t::kFileSchedaPrenotazione, t::kSchedaPrenotazione,
            {t::kNumeroHotel, t::kNumeroPrenotazione, t::kTipoPrenotazione, t::kDitta},
            {{N(1), N(n), S(s.tipo_prenotazione), S(s.agenzia)}});
      Metti(t::kFileCamerePrenotazione, t::kCamerePrenotazione,
            {t::kNumeroHotel, t::kNumeroPrenotazione, t::kNumeroCamera, t::kDataArrivo,
             t::kDataPartenza, t::kTipoCamera, t::kQuantitaCamere, t::kNumeroPersone},
            {{N(1), N(n), S(s.camera), S(s.arrivo), S(s.partenza), S(s.TipoCamera()), N(1),
              N(s.ospiti)}});
      Addebiti(t::kFileArrangiamento, n, std::string("*") + s.camera, s);
      return;
    }
    const bool storico = s.fonte == SoggiornoPiantato::kStorico;
    const std::string schede = storico ? t::kFileSchedaStorico : t::kFileSchedaCliente;
    const std::string ditte = storico ? t::kFileDittaStorico : t::kFileDittaIntestataria;
    const std::string addebiti = storico ? t::kFileArrangiamentoStorico : t::kFileArrangiamento;
    for (int ospite = 1; ospite <= s.ospiti; ++ospite) {
      const int32_t card = ospite == 1 ? n : ++numero_;
      Metti(schede, t::kSchedaCliente,
            {t::kNumeroHotel, t::kNumeroProgressivo, t::kNomeCliente, t::kNumeroCamera,
             t::kDataArrivo, t::kDataPartenza, t::kDataPartenzaReale, t::kPartito,
             t::kNumeroComponente, t::kCodiceCapoFamiglia, t::kCodiceCapoGruppo},
            {{N(1), N(card), S("OSPITE"), S(s.camera), S(s.arrivo), S(s.partenza), S(s.partenza),
              S(s.partito), N(ospite), N(0), N(0)}});
      if (*s.agenzia != '\0') {
        Metti(ditte, t::kDittaIntestataria,
              {t::kNumeroHotel, t::kCodiceCliente, t::kRagioneSociale},
              {{N(1), N(card), S(s.agenzia)}});
      }
      if (ospite == 1) Addebiti(addebiti, card, s.camera, s);
    }
  }

  void Metti(const std::string& file, const char* tabella, const std::vector<std::string>& campi,
             const std::vector<std::vector<Valore>>& righe) {
    if (raccogli_) {
      auto& [c, r] = in_attesa_[{file, tabella}];
      c = campi;
      r.insert(r.end(), righe.begin(), righe.end());
      return;
    }
    demo::InserisciRighe((cartella_ / file).string(), tabella, campi, righe);
  }

 private:
  void Addebiti(const std::string& file, int32_t codice, const std::string& camera,
                const SoggiornoPiantato& s) {
    namespace t = tabelle;
    std::vector<std::vector<Valore>> righe;
    for (Giorno g = G(s.arrivo); g < G(s.partenza); g += std::chrono::days(1)) {
      const std::string da = ChiaveData(g), a = ChiaveData(g + std::chrono::days(1));
      righe.push_back({N(1), N(codice), S(camera), S(da), S(a), E(s.retta_notte), S("Pensione"),
                       N(1), S("BB")});
      if (s.extra_notte != 0) {
        righe.push_back(
            {N(1), N(codice), S(camera), S(da), S(a), E(s.extra_notte), S("Bar"), N(2), S("")});
      }
    }
    Metti(file, t::kArrangiamento,
          {t::kNumeroHotel, t::kCodiceCliente, t::kNumeroCamera, t::kDataInizio, t::kDataFine,
           t::kImportoTotale, t::kDescrizione, t::kVoceAddebito, t::kArrangiamento},
          righe);
  }

  std::filesystem::path cartella_;
  int32_t numero_ = 0;
  bool raccogli_ = false;
  std::map<std::pair<std::string, std::string>,
           std::pair<std::vector<std::string>, std::vector<std::vector<Valore>>>>
      in_attesa_;
};

}  // namespace vendrix::prova

#endif  // VENDRIX_TESTS_SUPPORT_ALBERGO_PICCOLO_H_
