#include "app/istantanea.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "calc/portafoglio.h"
#include "comune/segmenti.h"
#include "data/blocco_cartella.h"
#include "data/libri.h"

namespace vendrix {

using std::chrono::days;

Giorno Oggi() { return *LeggiData(OraLocale("%d/%m/%Y")); }

EsitoIstantanea PrendiIstantanea(const Richiesta& richiesta, Giorno giorno,
                                 const std::filesystem::path& cartella_libri,
                                 BloccoIstantanea blocco_albergo) {
  Richiesta r = richiesta;
  r.cartella_hotel = CartellaAlbergo(r.cartella_hotel);
  const std::filesystem::path libri_in =
      cartella_libri.empty() ? r.cartella_hotel : CartellaAlbergo(cartella_libri);
  std::optional<BloccoCartella> blocco;
  if (blocco_albergo == BloccoIstantanea::kProprio) {
    blocco.emplace(r.cartella_hotel, kFileBloccoAlbergo, BloccoCartella::Modo::kCondiviso);
  }
  // Refused before the books are worked out: a store that is not ours stops the run at once.
  ArchivioLibri libri(libri_in, true);
  int notti_finali = kNottiPrimoConsuntivo;
  if (const std::optional<Giorno> ultimo = libri.UltimoConsuntivo()) {
    notti_finali = static_cast<int>(std::clamp<int64_t>((giorno - *ultimo).count() - 1,
                                                        kNottiConsuntivo, kNottiPrimoConsuntivo));
  }
  r.dal = giorno - days(notti_finali);
  r.al = giorno + days(kNottiIstantanea);
  const Segmenti segmenti = Segmenti::Leggi(r.cartella_hotel);
  const Portafoglio portafoglio = CalcolaPortafoglio(r, giorno - days(1), segmenti);
  if (!portafoglio.mancanze.empty()) {
    std::string motivo;
    for (const std::string& m : portafoglio.mancanze) motivo += (motivo.empty() ? "" : " ") + m;
    throw Errore("Istantanea dei libri del " + TestoData(giorno) + " non presa: " + motivo);
  }
  Istantanea ist{.giorno = giorno, .camere_disponibili = portafoglio.CamereTotali()};
  ist.consuntivi_dal = r.dal;
  ist.consuntivi_al = giorno - days(1);
  for (const RigaPortafoglio& riga : portafoglio.righe) {
    if (riga.stato == StatoNotte::kEffettiva) {
      if (riga.notte < giorno) {
        ist.consuntivi.push_back({riga.notte, riga.tipo_camera, riga.segmento, riga.cifre.camere,
                                  riga.cifre.ospiti, riga.cifre.retta});
      }
    } else if (riga.notte >= giorno) {
      ist.libri.push_back({riga.notte, riga.tipo_camera, riga.segmento,
                           riga.stato == StatoNotte::kOpzionale, riga.cifre.camere,
                           riga.cifre.ospiti, riga.cifre.retta});
    }
  }
  libri.Scrivi(ist);
  return {giorno, static_cast<int64_t>(ist.libri.size()), notti_finali, libri.Percorso().string()};
}

std::optional<std::string> IstantaneaDiPassaggio(Interfaccia& ui, const Richiesta& r,
                                                 BloccoIstantanea blocco) {
  std::string motivo;
  try {
    PrendiIstantanea(r, Oggi(), {}, blocco);
    return std::nullopt;
  } catch (const std::exception& e) {
    motivo = e.what();
  }
  ui.ImpostaStato(motivo);
  return motivo;
}

std::map<Giorno, std::array<std::optional<int64_t>, 2>> PickupDelleNotti(
    const std::filesystem::path& cartella_hotel, Giorno oggi, Giorno dal, Giorno al) {
  std::map<Giorno, std::array<std::optional<int64_t>, 2>> pickup;
  try {
    const ArchivioLibri libri(cartella_hotel, false);
    if (!libri.HaIstantanea(oggi)) return pickup;
    const auto totali = libri.Totali(dal, al, oggi - days(7), oggi);
    for (const auto& [notte, per_giorno] : totali) {
      const auto adesso = per_giorno.find(oggi);
      if (adesso == per_giorno.end()) continue;
      auto& riga = pickup[notte];
      for (int k = 0; k < 2; ++k) {
        const auto prima = per_giorno.find(oggi - days(k == 0 ? 1 : 7));
        if (prima != per_giorno.end()) riga[k] = adesso->second.camere - prima->second.camere;
      }
    }
  } catch (const Errore&) {
    pickup.clear();  // the report goes on without it
  }
  return pickup;
}

}  // namespace vendrix
