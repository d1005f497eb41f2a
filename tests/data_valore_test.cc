// Currency and field values: exact fixed point, rounding rules, Null propagation, conversions.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "data/errore.h"
#include "data/valore.h"

namespace vendrix {
namespace {

Valuta V(int64_t decimillesimi) { return Valuta::DaDecimillesimi(decimillesimi); }

TEST(Valuta, DaDoubleArrotondaAQuattroDecimaliSulValoreDecimale) {
  struct Caso {
    const char* perche;
    double x;
    int64_t atteso;
  };
  const Caso casi[] = {
      {"0.1 + 0.2 is 0.3, not 0.30000000000000004", 0.1 + 0.2, 3000},
      {"a half ten-thousandth rounds away from zero", 0.00005, 1},
      {"and away from zero below zero", -0.00005, -1},
      {"50.025 keeps its third decimal", 50.025, 500250},
      {"1.00005 is a half written in binary just below it", 1.00005, 10001},
      {"fifth decimal below a half is dropped", 2.00004, 20000},
      {"9.99999 rounds up to 10", 9.99999, 100000},
      {"whole numbers are exact", 123456789.0, 1234567890000},
      {"large amount with four decimals", 98765432.1234, 987654321234},
      {"tiny value is zero", 1e-9, 0},
      {"zero", 0.0, 0},
      {"negative zero", -0.0, 0},
      {"negative amount", -12.34565, -123457},
  };
  for (const auto& c : casi) {
    EXPECT_EQ(Valuta::DaDouble(c.x).Decimillesimi(), c.atteso) << c.perche;
  }
}

TEST(Valuta, DaDoubleCoincideConLaLetturaDelTestoA15Cifre) {
  // The reading of a double equals the exact decimal rounding of its 15-digit text, for amounts
  // of every size and especially for those that fall on or next to half a ten-thousandth.
  std::mt19937_64 caso(12345);
  std::uniform_int_distribution<int64_t> conteggio(-99999999999999, 99999999999999);
  std::uniform_real_distribution<double> scala(-12, 14);
  for (int i = 0; i < 200000; ++i) {
    double x;
    switch (i % 4) {
      case 0:
        x = (static_cast<double>(conteggio(caso) % 100000000000) + 0.5) / 10000.0;
        break;
      case 1:
        x = std::nextafter((static_cast<double>(conteggio(caso) % 1000000) + 0.5) / 10000.0,
                           (i & 8) ? 1e300 : -1e300);
        break;
      case 2:
        x = std::pow(10.0, scala(caso)) * ((i & 16) ? -1 : 1);
        break;
      default:
        x = static_cast<double>(conteggio(caso)) / 1000.0;
        break;
    }
    char testo[40];
    std::snprintf(testo, sizeof testo, "%.15g", x);
    ASSERT_EQ(Valuta::DaDouble(x), Valuta::DaTesto(testo)) << testo;
  }
}

TEST(Valuta, DaDoubleRifiutaValoriFuoriDominio) {
  for (double x :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), 1e15, -1e16, 1e300}) {
    EXPECT_THROW(Valuta::DaDouble(x), Errore) << x;
  }
  EXPECT_EQ(Valuta::DaDouble(922337203685477.0).Decimillesimi(), 9223372036854770000);
}

TEST(Valuta, DaTestoLeggeDecimaliEsatti) {
  struct Caso {
    const char* testo;
    int64_t atteso;
  };
  const Caso casi[] = {
      {"12", 120000},    {"-12.345", -123450},
      {"0.00005", 1},    {"-0.00005", -1},
      {"0.00004999", 0}, {" 7.5 ", 75000},
      {"+3", 30000},     {".5", 5000},
      {"1e2", 1000000},  {"922337203685477.5807", INT64_MAX},
  };
  for (const auto& c : casi) {
    EXPECT_EQ(Valuta::DaTesto(c.testo).Decimillesimi(), c.atteso) << c.testo;
  }
  for (const char* cattivo : {"", " ", "abc", "12abc", "1.2.3", "--1", "922337203685477.5808",
                              "99999999999999999999999999999999999999999"}) {
    EXPECT_THROW(Valuta::DaTesto(cattivo), Errore) << cattivo;
  }
}

TEST(Valuta, TestoEArrotondamenti) {
  EXPECT_EQ(V(123450).Testo(), "12.3450");
  EXPECT_EQ(V(123450).Testo(2), "12.35");
  EXPECT_EQ(V(-123450).Testo(2), "-12.35");
  EXPECT_EQ(V(-5).Testo(2), "0.00") << "minus sign of a value that rounds to zero is dropped";
  EXPECT_EQ(V(5000).Testo(0), "1");
  EXPECT_EQ(V(INT64_MIN).Testo(4), "-922337203685477.5808");
  EXPECT_EQ(V(333350).ArrotondaCentesimi(), V(333400));
  EXPECT_EQ(V(-333350).ArrotondaCentesimi(), V(-333400));
  EXPECT_EQ(V(333349).ArrotondaCentesimi(), V(333300));
  // 100.00 over 3 rooms: 33.3333
  EXPECT_EQ(V(1000000).DivisoPer(3), V(333333));
  EXPECT_EQ(V(20000).DivisoPer(3), V(6667)) << "half away from zero";
  EXPECT_EQ(V(-20000).DivisoPer(3), V(-6667));
  EXPECT_EQ(V(10).DivisoPer(-4), V(-3));
  EXPECT_THROW(V(1).DivisoPer(0), Errore);
}

TEST(Valuta, SommaEsattaConControlloOverflow) {
  Valuta totale;
  for (int i = 0; i < 1000; ++i) totale += Valuta::DaDouble(0.1);
  EXPECT_EQ(totale, V(1000000)) << "a thousand 0.1 add up to exactly 100";
  EXPECT_THROW(V(INT64_MAX) + V(1), Errore);
  EXPECT_THROW(V(INT64_MIN) - V(1), Errore);
  EXPECT_EQ(V(5) - V(7), V(-2));
}

TEST(Valore, Conversioni) {
  EXPECT_EQ(Valore(V(125000)).Testo(), "12.5");
  EXPECT_EQ(Valore(V(120000)).Testo(), "12");
  EXPECT_EQ(Valore(int32_t{-7}).Testo(), "-7");
  EXPECT_EQ(Valore(0.1 + 0.2).Testo(), "0.3");
  EXPECT_EQ(Valore(DataOra{45474}).Testo(), "01/07/2024");
  EXPECT_EQ(Valore(" 12.5 ").Numero(), 12.5);
  EXPECT_EQ(Valore(true).Numero(), -1);
  // Conversion to an integer rounds half to even.
  EXPECT_EQ(Valore(2.5).Intero(), 2);
  EXPECT_EQ(Valore(3.5).Intero(), 4);
  EXPECT_EQ(Valore(-2.5).Intero(), -2);
  EXPECT_EQ(Valore(V(25000)).Intero(), 2);
  EXPECT_EQ(Valore(V(35000)).Intero(), 4);
  EXPECT_EQ(Valore(V(-35001)).Intero(), -4);
  EXPECT_EQ(Valore(int32_t{7}).ComeValuta(), V(70000));
  EXPECT_EQ(Valore("0.1").ComeValuta(), V(1000));
  for (const Valore& v : {Valore(), Valore("abc"), Valore("")}) {
    EXPECT_THROW(v.Numero(), Errore);
    EXPECT_THROW(v.Intero(), Errore);
    EXPECT_THROW(v.ComeValuta(), Errore);
  }
  EXPECT_THROW(Valore().Testo(), Errore);
  EXPECT_THROW(Valore(1e300).Intero(), Errore);
}

}  // namespace
}  // namespace vendrix
