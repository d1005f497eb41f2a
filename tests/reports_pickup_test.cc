// The forecast and its measured error on a series whose answer is known by construction: every
// night ends at F(night), and a snapshot taken L days before it holds F minus a pickup still to
// come that depends on L and on the night's weekday. The additive forecast must then give F
// exactly, with no error, while the books alone miss by the pickup still to come.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>

#include "data/cartella_temporanea.h"
#include "data/libri.h"
#include "reports/report_pickup.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using std::chrono::days;

const Giorno kOggi = Giorno(std::chrono::year(2026) / 5 / 20);
constexpr int kGiorni = 71;  // snapshots from kOggi - 70

int Settimana(Giorno n) { return static_cast<int>(std::chrono::weekday(n).iso_encoding()); }
int64_t Finale(Giorno n) { return 20 + Settimana(n) + (n.time_since_epoch().count() % 5); }
int64_t DaVenire(int64_t anticipo, Giorno n) {
  return std::max<int64_t>(0, 14 - anticipo) * (1 + Settimana(n) % 2);
}
int64_t Libri(Giorno g, Giorno n) { return Finale(n) - DaVenire((n - g).count(), n); }

class Previsione : public ::testing::Test {
 protected:
  void Serie(int giorni, int64_t camere = 50) {
    ArchivioLibri a(cartella_, true);
    for (int i = giorni - 1; i >= 0; --i) {
      const Giorno g = kOggi - days(i);
      Istantanea ist{.giorno = g, .camere_disponibili = camere};
      for (int n = 0; n < 120; ++n) {
        const Giorno notte = g + days(n);
        ist.libri.push_back({notte, "DBL", "Diretto", false, Libri(g, notte), 0, {}});
        ist.libri.push_back({notte, "DBL", "Diretto", true, 3, 0, {}});  // optional: not counted
      }
      ist.consuntivi_dal = ist.consuntivi_al = g - days(1);
      ist.consuntivi.push_back({g - days(1), "DBL", "Diretto", Finale(g - days(1)), 0, {}});
      a.Scrivi(ist);
    }
  }
  CartellaTemporanea temporanea_;
  const fs::path& cartella_ = temporanea_.Percorso();
};

TEST_F(Previsione, EsattaSuUnaSerieRegolareEConIlSuoErrore) {
  Serie(kGiorni);
  const Pickup p = CalcolaPickup(ArchivioLibri(cartella_, false), kOggi);
  ASSERT_TRUE(p.previsione_disponibile);
  int esatte = 0;
  for (const NottePickup& n : p.notti) {
    const int64_t anticipo = (n.notte - kOggi).count();
    SCOPED_TRACE(TestoData(n.notte));
    EXPECT_EQ(n.camere, Libri(kOggi, n.notte));
    // A past night of the same weekday 7k days before, within 8 weeks, seen 7k days before it.
    bool riferimento = false;
    for (int k = 1; 7 * k <= kGiorni - 1; ++k)
      riferimento |= 7 * k > anticipo && 7 * k <= anticipo + 56;
    ASSERT_EQ(n.previsione.has_value(), riferimento);
    if (!riferimento) continue;
    ++esatte;
    EXPECT_NEAR(*n.previsione, Finale(n.notte), 1e-9);
    EXPECT_NEAR(*n.occupazione_prevista, Finale(n.notte) / 50.0, 1e-12);
  }
  EXPECT_GT(esatte, 60);
  EXPECT_LT(esatte, 90);  // nights too far ahead for the store: n.d.

  EXPECT_EQ(p.errore.notti, 28);
  EXPECT_NEAR(*p.errore.previsione, 0, 1e-12);
  double atteso = 0;
  for (int i = 1; i <= 28; ++i) {
    const Giorno q = kOggi - days(i);
    atteso += static_cast<double>(DaVenire(7, q)) / Finale(q);
  }
  EXPECT_NEAR(*p.errore.libri, atteso / 28, 1e-12);
  EXPECT_GT(*p.errore.libri, 0.05);
}

TEST_F(Previsione, MaiOltreLeCamereDellHotel) {
  Serie(kGiorni, 25);  // nights whose pickup would end above the hotel's 25 rooms
  const Pickup p = CalcolaPickup(ArchivioLibri(cartella_, false), kOggi);
  bool limitata = false;
  for (const NottePickup& n : p.notti) {
    if (!n.previsione) continue;
    EXPECT_LE(*n.previsione, 25.0) << TestoData(n.notte);
    EXPECT_LE(*n.occupazione_prevista, 1.0) << TestoData(n.notte);
    limitata |= Finale(n.notte) > 25;
  }
  EXPECT_TRUE(limitata);
}

TEST_F(Previsione, NonDisponibilePrimaDi28GiorniDiIstantanee) {
  Serie(27);
  const Pickup p = CalcolaPickup(ArchivioLibri(cartella_, false), kOggi);
  EXPECT_FALSE(p.previsione_disponibile);
  for (const NottePickup& n : p.notti) EXPECT_FALSE(n.previsione.has_value());
  EXPECT_FALSE(p.errore.previsione.has_value());
  EXPECT_THROW(CalcolaPickup(ArchivioLibri(cartella_, false), kOggi + days(1)), Errore);
}

}  // namespace
}  // namespace vendrix
