#include "comune/richiesta.h"

#include <cstdlib>
#include <string_view>

namespace vendrix {

Richiesta NuovaRichiesta(Giorno dal, Giorno al, const std::filesystem::path& cartella_hotel) {
  Richiesta r;
  r.dal = dal;
  r.al = al;
  r.cartella_hotel = cartella_hotel;
  r.cartella_storico = cartella_hotel;
  if (const char* valore = std::getenv("DIRSH")) {
    if (std::string_view(valore).find_first_not_of(" \t") != std::string_view::npos) {
      r.cartella_storico = valore;
    }
  }
  r.cartella_excel = cartella_hotel / "Excel";
  return r;
}

std::string TestoTipiSoggiorno(bool confermate, bool opzionate, bool clienti) {
  std::string testo;
  const auto aggiungi = [&](bool scelto, const char* nome) {
    if (!scelto) return;
    if (!testo.empty()) testo += ", ";
    testo += nome;
  };
  aggiungi(confermate, "prenotazioni confermate");
  aggiungi(opzionate, "prenotazioni opzionate");
  aggiungi(clienti, "clienti in casa + storico");
  return testo.empty() ? "nessuno" : testo;
}

std::string TestoPeriodo(Giorno dal, Giorno al) {
  return "dal " + TestoData(dal) + " al " + TestoData(al);
}

}  // namespace vendrix
