// The one date rule (typed text -> day, day -> text and key) and the small texts every layer
// shares.

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>

#include "comune/date.h"
#include "comune/errore_sistema.h"
#include "comune/richiesta.h"

namespace vendrix {
namespace {

TEST(LeggiDataTest, AcceptsTheFormsOfTheRuleAndRefusesEverythingElse) {
  struct Caso {
    const char* testo;
    const char* data;  // nullptr: refused
  };
  const Caso casi[] = {
      // Two-digit years: 00-49 are 2000-2049, 50-99 are 1950-1999.
      {"010724", "01/07/2024"},
      {"010149", "01/01/2049"},
      {"010150", "01/01/1950"},
      {"311299", "31/12/1999"},
      {"01012021", "01/01/2021"},
      // One-digit day and month, and the three separators.
      {"1/1/2024", "01/01/2024"},
      {"1.1.2024", "01/01/2024"},
      {"01-01-2024", "01/01/2024"},
      {"9/10/2024", "09/10/2024"},
      {"01'01'2021", "01/01/2021"},
      {" 01/07/2024\t", "01/07/2024"},
      // Two-digit years after separators follow the rule of DDMMYY.
      {"1/7/24", "01/07/2024"},   {"01.01.49", "01/01/2049"}, {"1-1-50", "01/01/1950"},
      {"31/12/99", "31/12/1999"}, {"29/2/23", nullptr},
      {"29/02/2020", "29/02/2020"},
      {"01/01/1900", "01/01/1900"},
      {"31/12/9999", "31/12/9999"},
      // Refused.
      {"1/7/2", nullptr},         {"1/7/024", nullptr},       {"1/7/-24", nullptr},
      {"01/01/2E03", nullptr},
      {"1//1//2024", nullptr},
      {"2E030101", nullptr},
      {"01/01-2024", nullptr},
      {"001/01/2024", nullptr},
      {"1 /07/2024", nullptr},
      {"+1/07/2024", nullptr},
      {"31/04/2021", nullptr},
      {"29/02/2021", nullptr},
      {"29/02/1900", nullptr},
      {"31/12/1899", nullptr},
      {"00/01/2024", nullptr},
      {"01/13/2024", nullptr},
      {"01/07/10000", nullptr},
      {"31/01\xb0" "2024 ", nullptr},
      {"31/01/2024\xc2\xa0", nullptr},
      {"ab/cd/efgh", nullptr},
      {"", nullptr},
      {" ", nullptr},
  };
  for (const Caso& c : casi) {
    const std::optional<Giorno> giorno = LeggiData(c.testo);
    const std::string letto = giorno ? TestoData(*giorno) : "(rifiutata)";
    EXPECT_EQ(letto, c.data ? c.data : "(rifiutata)") << '"' << c.testo << '"';
  }
}

TEST(PulisciDataTest, WritesBackTheExpandedFormOrTheCleanedText) {
  struct Caso {
    const char* testo;
    const char* pulito;
  };
  const Caso casi[] = {
      {"010724", "01/07/2024"},  {"1/1/2024", "01/01/2024"}, {"1.1.2024", "01/01/2024"},
      {"01012021", "01/01/2021"}, {"01'01'2021", "01/01/2021"},
      // Not a form of the rule: cleaned, never taken apart by position.
      {"1/7/245", "1/7/245"},
      {"1/7/24", "01/07/2024"},   {"abc", "ABC"},             {"2e03", "2E03"},
      {"  ", ""},
  };
  for (const Caso& c : casi) EXPECT_EQ(PulisciData(c.testo), c.pulito) << '"' << c.testo << '"';
}

TEST(ChiaveDataTest, KeysRoundTripAndOnlyRealDaysAreKeys) {
  for (const char* chiave : {"20240701", "20240229", "19000228", "00010101", "99991231"}) {
    const std::optional<Giorno> giorno = GiornoDaChiave(chiave);
    ASSERT_TRUE(giorno) << chiave;
    EXPECT_EQ(ChiaveData(*giorno), chiave);
  }
  for (const char* chiave : {"20230229", "20240431", "20241301", "20240700", "2024071",
                             "202407011", "2024-7-1", " 2024070", "", "00000101", "19000229"}) {
    EXPECT_FALSE(GiornoDaChiave(chiave)) << '"' << chiave << '"';
  }
  EXPECT_EQ(ChiaveData(*LeggiData("31/12/2023") + std::chrono::days{1}), "20240101");
}

TEST(RifiutoPeriodoTest, ThePeriodIsAtMostACenturyWithin1900To2099AndNotReversed) {
  struct Caso {
    const char* dal;
    const char* al;
    bool rifiutato;
  };
  const Caso casi[] = {
      {"01/07/2024", "01/07/2024", false}, {"02/07/2024", "01/07/2024", true},
      {"01/01/1900", "31/12/1999", false},  // exactly a hundred years
      {"01/01/1900", "01/01/2000", true},  {"29/02/2000", "28/02/2100", true},
      {"01/03/2000", "28/02/2099", false},  // a hundred years from a day after 29 February
      {"01/01/2000", "31/12/2099", false}, {"01/01/2099", "01/01/2100", true},
      {"31/12/1899", "01/01/1900", true},  // last year of a period starting in 1900
      {"01/01/1900", "23/11/4770", true},  {"01/01/1900", "31/12/9999", true},
  };
  for (const Caso& c : casi) {
    EXPECT_EQ(RifiutoPeriodo(*LeggiData(c.dal), *LeggiData(c.al)).has_value(), c.rifiutato)
        << c.dal << " - " << c.al;
  }
}

TEST(TestiComuniTest, KindsOfStayAndSystemErrorsAreNamedInItalian) {
  EXPECT_EQ(TestoTipiSoggiorno(true, false, true),
            "prenotazioni confermate, clienti in casa + storico");
  EXPECT_EQ(TestoTipiSoggiorno(false, false, false), "nessuno");
  EXPECT_EQ(TestoErroreSistema(EACCES), "Permesso negato");
  EXPECT_EQ(TestoErroreSistema(std::make_error_code(std::errc::no_such_file_or_directory)),
            "File o cartella inesistente");
}

}  // namespace
}  // namespace vendrix
