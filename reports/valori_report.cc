#include "reports/valori_report.h"

#include <limits>

#include "data/errore.h"

namespace vendrix {

namespace {

using Int128 = __int128;

// numeratore / denominatore rounded half away from zero; denominatore is not 0.
Int128 DivisioneArrotondata(Int128 numeratore, Int128 denominatore) {
  if (denominatore < 0) {
    numeratore = -numeratore;
    denominatore = -denominatore;
  }
  Int128 quoziente = numeratore / denominatore;
  Int128 resto = numeratore % denominatore;
  if (resto < 0) resto = -resto;
  if (2 * resto >= denominatore) quoziente += numeratore < 0 ? -1 : 1;
  return quoziente;
}

}  // namespace

Valuta ImportoProporzionale(Valuta importo, int64_t quota, int64_t base) {
  if (base == 0) throw Errore("Divisione per zero nel calcolo di un importo");
  // Ten-thousandths x quota / base give ten-thousandths; one hundredth of that is cents.
  Int128 centesimi =
      DivisioneArrotondata(Int128{importo.Decimillesimi()} * quota, Int128{base} * 100);
  Int128 decimillesimi = centesimi * 100;
  if (decimillesimi > std::numeric_limits<int64_t>::max() ||
      decimillesimi < std::numeric_limits<int64_t>::min()) {
    throw Errore("Overflow nel calcolo di un importo");
  }
  return Valuta::DaDecimillesimi(static_cast<int64_t>(decimillesimi));
}

std::string TestoPercentuale(int64_t parte, int64_t base) {
  if (base == 0) return kPercentualeZero;
  // Hundredths of a percent.
  Int128 centesimi = DivisioneArrotondata(Int128{parte} * 10000, base);
  std::string testo = centesimi < 0 ? "-" : "";
  if (centesimi < 0) centesimi = -centesimi;
  std::string intera;
  Int128 n = centesimi / 100;
  do {
    intera.insert(intera.begin(), static_cast<char>('0' + static_cast<int>(n % 10)));
    n /= 10;
  } while (n > 0);
  int decimali = static_cast<int>(centesimi % 100);
  testo += intera + "." + static_cast<char>('0' + decimali / 10) +
           static_cast<char>('0' + decimali % 10) + "%";
  return testo;
}

std::string TestoDueDecimali(Valuta importo) { return importo.Testo(2); }

bool EGruppoAgenzia(const Valore& agenzia) {
  if (agenzia.Tipo() != TipoValore::kTesto) return false;
  // std::string compares as unsigned bytes: plain code order.
  return agenzia.ComeTesto() > std::string(" ");
}

}  // namespace vendrix
