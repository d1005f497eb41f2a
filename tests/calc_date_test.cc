// Date keys, display dates and day arithmetic of the calculation run.

#include <gtest/gtest.h>

#include <string>

#include "calc/date.h"
#include "data/errore.h"

namespace vendrix {
namespace {

TEST(DataAMGTest, TakesTheTextApartByPosition) {
  struct Caso {
    const char* nome;
    const char* data;
    const char* chiave;
  };
  const Caso casi[] = {
      {"ordinary date", "05/03/2021", "20210305"},
      {"separators are not examined", "01.07-2024", "20240701"},
      {"short text is cut, not padded", "05/03", "0305"},
      {"empty text", "", ""},
  };
  for (const Caso& c : casi) {
    EXPECT_EQ(DataAMG(c.data), c.chiave) << c.nome;
  }
}

TEST(DataGMATest, TakesTheKeyApartByPosition) {
  struct Caso {
    const char* nome;
    const char* chiave;
    const char* data;
  };
  const Caso casi[] = {
      {"ordinary key", "20210305", "05/03/2021"},
      {"year end", "20241231", "31/12/2024"},
      {"short key keeps the separators", "2021", "//2021"},
  };
  for (const Caso& c : casi) {
    EXPECT_EQ(DataGMA(c.chiave), c.data) << c.nome;
    if (std::string(c.chiave).size() == 8) {
      EXPECT_EQ(DataAMG(DataGMA(c.chiave)), c.chiave) << c.nome << ": round trip";
    }
  }
}

TEST(GiornoSuccessivoTest, FollowsTheCalendar) {
  struct Caso {
    const char* nome;
    const char* data;
    const char* dopo;
  };
  const Caso casi[] = {
      {"inside a month", "14/07/2024", "15/07/2024"},
      {"end of a 30-day month", "30/06/2024", "01/07/2024"},
      {"end of a year", "31/12/2023", "01/01/2024"},
      {"28 February of a leap year", "28/02/2024", "29/02/2024"},
      {"29 February", "29/02/2024", "01/03/2024"},
      {"28 February of a common year", "28/02/2023", "01/03/2023"},
      {"1900 is not a leap year", "28/02/1900", "01/03/1900"},
      {"2000 is a leap year", "28/02/2000", "29/02/2000"},
      {"other separators are read by position", "31.01.2024", "01/02/2024"},
  };
  for (const Caso& c : casi) {
    EXPECT_EQ(GiornoSuccessivo(c.data), c.dopo) << c.nome;
  }
}

TEST(DifferenzaGiorniTest, CountsCalendarDays) {
  struct Caso {
    const char* nome;
    const char* a;
    const char* b;
    long giorni;
  };
  const Caso casi[] = {
      {"same day", "01/07/2024", "01/07/2024", 0},
      {"next day", "30/06/2024", "01/07/2024", 1},
      {"b before a is negative", "02/07/2024", "30/06/2024", -2},
      {"a leap year", "01/01/2024", "01/01/2025", 366},
      {"a common year", "01/01/2023", "01/01/2024", 365},
      {"across centuries", "01/01/1900", "01/01/2000", 36524},
  };
  for (const Caso& c : casi) {
    EXPECT_EQ(DifferenzaGiorni(c.a, c.b), c.giorni) << c.nome;
  }
}

TEST(DateTest, TextsThatAreNotDatesAreRefused) {
  const char* const non_date[] = {
      "",             // empty box
      " ",            // what the date box holds after Enter on an empty text
      "31/04/2024",   // no such day
      "29/02/2023",   // not a leap year
      "29/02/1900",   // the calendar has no 29/02/1900
      "00/01/2024",   // day 0
      "01/13/2024",   // month 13
      "01/07/24",     // short form never expanded
      "1 /07/2024",   // a blank where a digit belongs
      "01/07/2024 ",  // one character too many
      "ab/cd/efgh",
  };
  for (const char* testo : non_date) {
    EXPECT_THROW(GiornoSuccessivo(testo), Errore) << '"' << testo << '"';
    EXPECT_THROW(DifferenzaGiorni("01/07/2024", testo), Errore) << '"' << testo << '"';
    EXPECT_THROW(DifferenzaGiorni(testo, "01/07/2024"), Errore) << '"' << testo << '"';
  }
  EXPECT_THROW(GiornoSuccessivo("31/12/9999"), Errore) << "no five-digit years";
}

TEST(ChiaveDataValidaTest, OnlyEightDigitsOfARealDay) {
  struct Caso {
    const char* chiave;
    bool valida;
  };
  const Caso casi[] = {
      {"20240701", true},  {"20240229", true},  {"20230229", false}, {"20240431", false},
      {"20241301", false}, {"20240700", false}, {"2024071", false},  {"202407011", false},
      {"2024-7-1", false}, {" 2024070", false}, {"", false},         {"00000101", false},
      {"19000228", true},  {"19000229", false},
  };
  for (const Caso& c : casi) {
    EXPECT_EQ(ChiaveDataValida(c.chiave), c.valida) << '"' << c.chiave << '"';
  }
}

}  // namespace
}  // namespace vendrix
