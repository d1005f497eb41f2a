#ifndef VENDRIX_TESTS_SUPPORT_CARTELLA_PROVA_H_
#define VENDRIX_TESTS_SUPPORT_CARTELLA_PROVA_H_

// Test-only: the folders a test works in, below /tmp, and the sample hotels a suite writes
// into one of them once for all its tests.

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "app/demo/hotel_demo.h"

namespace vendrix::prova {

// A new folder below /tmp whose name is `prefisso` and six random characters. Throws
// std::runtime_error when it cannot be made.
inline std::filesystem::path NuovaCartella(const std::string& prefisso) {
  std::string modello = "/tmp/" + prefisso + "_XXXXXX";
  if (mkdtemp(modello.data()) == nullptr) throw std::runtime_error("mkdtemp: " + modello);
  return modello;
}

// The options of a sample hotel of `camere` rooms, `giorni` days of live data and
// `giorni_storico` days of history, the others as the writer has them.
inline demo::OpzioniDemo OpzioniHotel(int camere, int giorni, int giorni_storico) {
  demo::OpzioniDemo opzioni;
  opzioni.camere = camere;
  opzioni.giorni = giorni;
  opzioni.giorni_storico = giorni_storico;
  return opzioni;
}

// A suite's sample hotel, written as `opzioni` say into a new folder below /tmp named after
// `prefisso`. Returns the folder, for RimuoviCartella at the end of the suite, and into
// `riepilogo`, when given, what the writer says it wrote.
inline std::filesystem::path* HotelDiProva(const std::string& prefisso,
                                           const demo::OpzioniDemo& opzioni,
                                           demo::RiepilogoDemo* riepilogo = nullptr) {
  auto* cartella = new std::filesystem::path(NuovaCartella(prefisso));
  const demo::RiepilogoDemo scritto = demo::ScriviHotelDemo(cartella->string(), opzioni);
  if (riepilogo != nullptr) *riepilogo = scritto;
  return cartella;
}

// Removes a suite's folder with all it holds, and forgets it.
inline void RimuoviCartella(std::filesystem::path*& cartella) {
  std::error_code e;
  std::filesystem::remove_all(*cartella, e);
  delete cartella;
  cartella = nullptr;
}

}  // namespace vendrix::prova

#endif  // VENDRIX_TESTS_SUPPORT_CARTELLA_PROVA_H_
