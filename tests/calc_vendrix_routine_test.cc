// The module value and the numeric value of a text. Dates: comune_date_test.

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

TEST(CaricaModulo, SetsTheHotel) {
  HotelCorrente = 7;
  CaricaModulo();
  EXPECT_EQ(HotelCorrente, 1);
}

}  // namespace
}  // namespace vendrix
