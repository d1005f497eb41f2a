// The books (CalcolaPortafoglio) and the segments (Segmenti) on a small hotel whose stays the
// test plants, against sums the test works out from the same stays.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <tuple>

#include "calc/portafoglio.h"
#include "comune/richiesta.h"
#include "comune/segmenti.h"
#include "tests/support/albergo_piccolo.h"

namespace vendrix {
namespace {

using prova::G;
using prova::SoggiornoPiantato;
using P = SoggiornoPiantato;

// The reference day and the stays around it.
constexpr char kRiferimento[] = "20240710";
const std::vector<SoggiornoPiantato> kSoggiorni = {
    {P::kScheda, "", "101", "20240708", "20240713", 2, 100, 10, "Booking.com srl", "N"},
    {P::kScheda, "", "201", "20240706", "20240708", 1, 60, 0, "Rossi Viaggi"},
    {P::kStorico, "", "201", "20240701", "20240703", 1, 50, 5, ""},
    {P::kPrenotazione, "C", "102", "20240712", "20240715", 2, 120, 0, "Expedia"},
    {P::kPrenotazione, "D", "201", "20240709", "20240712", 1, 70, 0, ""},
    {P::kPrenotazione, "O", "201", "20240714", "20240716", 1, 80, 0, "Tour Sud"},
    // A confirmed booking of past nights that never became a card counts nowhere.
    {P::kPrenotazione, "C", "102", "20240705", "20240706", 2, 999, 0, "Expedia"},
};

using Chiave = std::tuple<Giorno, StatoNotte, std::string>;  // night, stato, segment

// What the rule says each planted stay adds, night by night.
std::map<Chiave, CifreNotte> Attese(const Segmenti& segmenti, Giorno dal, Giorno al) {
  std::map<Chiave, CifreNotte> attese;
  for (const SoggiornoPiantato& s : kSoggiorni) {
    for (Giorno notte = dal; notte <= al; notte += std::chrono::days(1)) {
      if (!s.Copre(notte)) continue;
      const bool scheda = s.fonte != P::kPrenotazione;
      StatoNotte stato;
      if (notte <= G(kRiferimento)) {
        if (!scheda) continue;
        stato = StatoNotte::kEffettiva;
      } else {
        stato = std::string(s.tipo_prenotazione) == "O" ? StatoNotte::kOpzionale
                                                        : StatoNotte::kConfermata;
      }
      CifreNotte& c = attese[{notte, stato, segmenti.Di(std::string_view(s.agenzia))}];
      c.camere += 1;
      c.ospiti += s.ospiti;
      c.retta += Valuta::DaDouble(s.retta_notte + s.extra_notte);
      c.extra += Valuta::DaDouble(s.extra_notte);
      c.bb += Valuta::DaDouble(s.retta_notte);
    }
  }
  return attese;
}

TEST(PortafoglioTest, NottiPerStatoESegmentoConESenzaFile) {
  const struct {
    const char* caso;
    const char* file;  // nullptr: no VendrixSegmenti.txt
    std::vector<std::string> elenco;
  } kCasi[] = {
      {"senza file", nullptr, {"Diretto", "Agenzie"}},
      {"con file: prima riga che trova, il resto ad Altre agenzie",
       "Booking\tOTA\r\nsenza tab\r\n\r\nExpedia\t OTA \r\nBooking.com\tNon questa\r\n",
       {"Diretto", "OTA", "Non questa", "Altre agenzie"}},
  };
  for (const auto& caso : kCasi) {
    SCOPED_TRACE(caso.caso);
    prova::AlbergoPiccolo albergo;
    albergo.Pianta(kSoggiorni);
    if (caso.file) std::ofstream(albergo.cartella() / kFileSegmenti) << caso.file;
    const Segmenti segmenti = Segmenti::Leggi(albergo.cartella());
    EXPECT_EQ(segmenti.Elenco(), caso.elenco);

    const Giorno dal = G("20240701"), al = G("20240720");
    Richiesta r = NuovaRichiesta(dal, al, albergo.cartella());
    const Portafoglio p = CalcolaPortafoglio(r, G(kRiferimento), segmenti);
    EXPECT_TRUE(p.mancanze.empty()) << p.mancanze.front();
    EXPECT_EQ(p.CamereTotali(), 10);

    std::map<Chiave, CifreNotte> trovate;
    for (const RigaPortafoglio& riga : p.righe) {
      trovate[{riga.notte, riga.stato, riga.segmento}] += riga.cifre;
    }
    const auto attese = Attese(segmenti, dal, al);
    EXPECT_EQ(trovate.size(), attese.size());
    for (const auto& [chiave, cifre] : attese) {
      SCOPED_TRACE(TestoData(std::get<0>(chiave)) + " " + std::get<2>(chiave));
      EXPECT_EQ(trovate[chiave], cifre);
    }
    // The cards that carry a room, as stays: the three cards planted, whatever their guests.
    std::vector<SoggiornoCamera> attesi;
    for (const SoggiornoPiantato& s : kSoggiorni) {
      if (s.fonte != P::kPrenotazione) attesi.push_back({G(s.arrivo), G(s.partenza)});
    }
    std::vector<SoggiornoCamera> soggiorni = p.soggiorni;
    EXPECT_TRUE(
        std::is_permutation(soggiorni.begin(), soggiorni.end(), attesi.begin(), attesi.end()));
    // Nothing of the private stores is left.
    EXPECT_TRUE(std::filesystem::is_empty(albergo.cartella() / "tmp"));
  }
}

TEST(PortafoglioTest, UnFileMancanteLasciaFuoriSoloLaSuaParte) {
  const struct {
    const char* file;
    const char* mancanza;
    int64_t effettive, confermate;
  } kCasi[] = {
      // The in-house cards still count: 101 on the 8th to the 10th, 201 on the 6th and 7th; on
      // the books 101 on the 11th and 12th, 102 for three nights, 201 on the 11th.
      {"SchedaStoricoClienti.mdb", "Storico clienti non disponibile: manca il file ", 5, 6},
      {"Scheda_Cliente.mdb", "Clienti in casa e storico non disponibili: ", 0, 4},
  };
  for (const auto& caso : kCasi) {
    SCOPED_TRACE(caso.file);
    prova::AlbergoPiccolo albergo;
    albergo.Pianta(kSoggiorni);
    std::filesystem::remove(albergo.cartella() / caso.file);
    Richiesta r = NuovaRichiesta(G("20240701"), G("20240720"), albergo.cartella());
    const Portafoglio p = CalcolaPortafoglio(r, G(kRiferimento), Segmenti());
    ASSERT_EQ(p.mancanze.size(), 1u);
    EXPECT_EQ(p.mancanze[0].rfind(caso.mancanza, 0), 0u) << p.mancanze[0];
    int64_t camere[3] = {};
    for (const RigaPortafoglio& riga : p.righe) {
      camere[static_cast<int>(riga.stato)] += riga.cifre.camere;
    }
    EXPECT_EQ(camere[0], caso.effettive);
    EXPECT_EQ(camere[1], caso.confermate);
  }
}

}  // namespace
}  // namespace vendrix
