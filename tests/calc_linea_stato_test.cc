// The throttled status line: what reaches the user interface, driven by a clock the test moves.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calc/linea_stato.h"

namespace vendrix {
namespace {

using std::chrono::milliseconds;
using Istante = std::chrono::steady_clock::time_point;

class StatiRegistrati : public Interfaccia {
 public:
  void ImpostaStato(const std::string& testo) override { stati.push_back(testo); }
  void MsgBox(const std::string&, const std::string&) override {}
  std::vector<std::string> stati;
};

TEST(LineaStatoTest, ShowsAtMostOneTextPerIntervalAndAlwaysTheLast) {
  // Each step: the clock in ms, then a text to take ("" = call Fine), and what the interface
  // has received after it.
  struct Passo {
    int ms;
    const char* testo;
    std::vector<std::string> mostrati;
  };
  struct Caso {
    const char* nome;
    std::vector<Passo> passi;
  };
  const std::vector<Caso> casi = {
      {"the first text is shown at once", {{0, "a", {"a"}}}},
      {"texts inside the interval wait",
       {{0, "a", {"a"}}, {10, "b", {"a"}}, {49, "c", {"a"}}, {50, "d", {"a", "d"}}}},
      {"Fine shows the text left waiting",
       {{0, "a", {"a"}}, {10, "b", {"a"}}, {20, "", {"a", "b"}}}},
      {"Fine does not repeat a text already shown",
       {{0, "a", {"a"}}, {100, "b", {"a", "b"}}, {110, "", {"a", "b"}}}},
      {"Fine with no text shows nothing", {{0, "", {}}}},
      {"the interval counts from the last text shown",
       {{0, "a", {"a"}},
        {60, "b", {"a", "b"}},
        {100, "c", {"a", "b"}},
        {111, "d", {"a", "b", "d"}}}},
  };
  for (const Caso& caso : casi) {
    StatiRegistrati ui;
    Istante adesso{};
    LineaStato linea(ui, milliseconds(50), [&] { return adesso; });
    for (const Passo& passo : caso.passi) {
      adesso = Istante{} + milliseconds(passo.ms);
      if (std::string(passo.testo).empty()) {
        linea.Fine();
      } else {
        linea.Imposta(passo.testo);
        EXPECT_EQ(linea.Testo(), passo.testo) << caso.nome;
      }
      EXPECT_EQ(ui.stati, passo.mostrati) << caso.nome << " at " << passo.ms << " ms";
    }
  }
}

}  // namespace
}  // namespace vendrix
