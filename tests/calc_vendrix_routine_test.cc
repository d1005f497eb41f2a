// The module values and the date routines, against the edge cases of date entry.

#include <gtest/gtest.h>

#include <string>

#include "calc/vendrix_routine.h"
#include "data/errore.h"

namespace vendrix {
namespace {

TEST(ValoreNumerico, ReadsTheNumberAtTheStartOfTheText) {
  struct Caso {
    const char* perche;
    std::string testo;
    double atteso;
  };
  const Caso casi[] = {
      {"leading zero", "07", 7},
      {"leading blank", " 7", 7},
      {"stops at a separator", "7/", 7},
      {"separator first reads 0", "/7", 0},
      {"letters read 0", "AB", 0},
      {"blanks only read 0", " \t\n", 0},
      {"blanks inside the digits are ignored", "1 2", 12},
      {"carriage return is not a blank", "1\r2", 1},
      {"negative sign", "-12", -12},
      {"plus sign", "+5", 5},
      {"blank between sign and digits", "- 5", -5},
      {"two signs read 0", "--5", 0},
      {"decimals", "2.5", 2.5},
      {"decimal point first", ".5", 0.5},
      {"second point ends the number", "1.2.3", 1.2},
      {"exponent", "9E2", 900},
      {"lower-case exponent with sign", "25e-1", 2.5},
      {"exponent with blanks", "1 E 3", 1000},
      {"E without digits is not an exponent", "12E", 12},
      {"exponent of the year field", "9E99", 9e99},
      {"underflow reads 0", "1E-400", 0},
      {"comma is not a decimal point", "1,5", 1},
      {"accented letter stops the number", "3è", 3},
  };
  for (const Caso& caso : casi) {
    EXPECT_DOUBLE_EQ(ValoreNumerico(caso.testo), caso.atteso) << caso.perche;
  }
}

TEST(ValoreNumerico, RefusesANumberTooLargeToHold) {
  EXPECT_THROW(ValoreNumerico("1E400"), Errore);
  EXPECT_THROW(ValoreNumerico("-123456789E310"), Errore);
  // A long run of leading zeros does not make a number large.
  EXPECT_DOUBLE_EQ(ValoreNumerico("0.0000000001E-400"), 0);
}

TEST(FiltraTesto, UpperCasesDropsApostrophesAndNeverReturnsEmpty) {
  struct Caso {
    const char* perche;
    std::string testo;
    std::string atteso;
  };
  const Caso casi[] = {
      {"apostrophes dropped", "01'01'2021", "01012021"},
      {"lower case raised", "ab3c", "AB3C"},
      {"accented letters raised", "àè", "ÀÈ"},
      {"division sign kept", "÷", "÷"},
      {"empty becomes a blank", "", " "},
      {"only apostrophes becomes a blank", "''", " "},
      {"blanks are kept", " 1 ", " 1 "},
  };
  for (const Caso& caso : casi) {
    EXPECT_EQ(FiltraTesto(caso.testo), caso.atteso) << caso.perche;
  }
}

TEST(EspandiData, ExpandsTheShortFormsByLengthAlone) {
  struct Caso {
    const char* perche;
    std::string testo;
    std::string atteso;
  };
  const Caso casi[] = {
      {"19 is this century", "010119", "01/01/2019"},
      {"20 is the last century", "010120", "01/01/1920"},
      {"00 is this century", "010100", "01/01/2000"},
      {"year not a number counts as 0", "0101AB", "01/01/20AB"},
      {"eight characters", "01012021", "01/01/2021"},
      {"eight characters with separators, by position", "01/01/21", "01//0/1/21"},
      {"other length unchanged", "1012021", "1012021"},
      {"a blank unchanged", " ", " "},
      {"characters, not bytes", "0101À9", "01/01/20À9"},
  };
  for (const Caso& caso : casi) {
    EXPECT_EQ(EspandiData(caso.testo), caso.atteso) << caso.perche;
  }
}

TEST(ControllaData, AcceptsOnlyRealDatesFrom1900) {
  CaricaModulo();
  struct Caso {
    const char* perche;
    std::string testo;
    int16_t atteso;
  };
  const Caso casi[] = {
      {"plain date", "01/01/2021", 1},
      {"dots as separators", "01.01.2021", 1},
      {"letters as separators", "01X01Y2021", 1},
      {"leap day of a leap year", "29/02/2020", 1},
      {"leap day of a common year", "29/02/2021", 0},
      {"1900 counts as a leap year", "29/02/1900", 1},
      {"2100 counts as a leap year", "29/02/2100", 1},
      {"31 April", "31/04/2021", 0},
      {"30 April", "30/04/2021", 1},
      {"year below 1900", "31/12/1899", 0},
      {"first day accepted", "01/01/1900", 1},
      {"day 0", "00/01/2021", 0},
      {"month 13", "01/13/2021", 0},
      {"8-character form expanded by position", "01//0/1/21", 0},
      {"short form not accepted", "010121", 0},
      {"empty", "", 0},
      {"surrounding blanks trimmed", "  01/01/2021 ", 1},
      {"eleven characters", "01/01/20211", 0},
      {"year too large for 16 bits", "01/01/9E99", 0},
      {"year as exponent", "01/01/2E03", 1},
      {"negative huge year", "01/01/-9E9", 0},
      {"blank inside the day", "1 /01/2021", 1},
      {"fractional day", ".5/01/2021", 0},
      {"an accented separator is one character", "01À01/2021", 1},
  };
  for (const Caso& caso : casi) {
    EXPECT_EQ(ControllaData(caso.testo), caso.atteso) << caso.perche << ": " << caso.testo;
  }
}

TEST(ControllaData, RewritesFebruaryOnlyWhenItReachesTheDayCheck) {
  CaricaModulo();
  ControllaData("01/01/2020");
  EXPECT_EQ(GiorniMese[2], 29);
  ControllaData("01/01/2021");
  EXPECT_EQ(GiorniMese[2], 28);
  ControllaData("01/01/2024");
  ControllaData("01/13/2021");  // refused on its month: February is left alone
  EXPECT_EQ(GiorniMese[2], 29);
  for (int mese : {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}) {
    EXPECT_EQ(GiorniMese[mese], (mese == 4 || mese == 6 || mese == 9 || mese == 11) ? 30 : 31);
  }
}

TEST(CaricaModulo, SetsMonthLengthsAndHotel) {
  GiorniMese.fill(0);
  HotelCorrente = 7;
  CaricaModulo();
  const std::array<int16_t, 13> attesi = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int mese = 1; mese <= 12; ++mese) EXPECT_EQ(GiorniMese[mese], attesi[mese]) << mese;
  EXPECT_EQ(HotelCorrente, 1);
}

TEST(AnnoBisestile, DivisibleByFourWithoutCenturyException) {
  const std::pair<int16_t, int16_t> casi[] = {{2020, 1}, {2021, 0}, {1900, 1}, {2000, 1},
                                              {2100, 1}, {1999, 0}, {0, 1},    {-4, 1}};
  for (const auto& [anno, atteso] : casi) EXPECT_EQ(AnnoBisestile(anno), atteso) << anno;
}

TEST(ControllaPeriodo, FromDateNotLaterThanToDate) {
  struct Caso {
    const char* perche;
    std::string dal, al;
    int16_t atteso;
  };
  const Caso casi[] = {
      {"same day is a one-day period", "01/07/2024", "01/07/2024", 1},
      {"reversed days", "31/07/2024", "01/07/2024", 0},
      {"later month", "01/08/2024", "31/07/2024", 0},
      {"later year beats earlier month", "01/01/2025", "31/12/2024", 0},
      {"earlier year beats later month", "31/12/2023", "01/01/2024", 1},
      {"day compared only with equal month", "31/01/2024", "01/02/2024", 1},
      {"separators not examined", "01.07.2024", "01-07-2024", 1},
      {"characters past the tenth ignored", "01/07/2024XYZ", "01/07/2024", 1},
  };
  for (const Caso& caso : casi) {
    EXPECT_EQ(ControllaPeriodo(caso.dal, caso.al), caso.atteso) << caso.perche;
  }
}

}  // namespace
}  // namespace vendrix
