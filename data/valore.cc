#include "data/valore.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "comune/date.h"
#include "comune/testo.h"
#include "data/errore.h"
#include "data/numeri.h"

namespace vendrix {

namespace {

using int128 = __int128;

constexpr auto kPotenze10 = [] {
  std::array<int64_t, 19> p{1};
  for (size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
  return p;
}();

Valuta ValutaDa128(int128 n) {
  if (n > std::numeric_limits<int64_t>::max() || n < std::numeric_limits<int64_t>::min()) {
    throw Errore("Overflow: importo fuori dai limiti del tipo Currency");
  }
  return Valuta::DaDecimillesimi(static_cast<int64_t>(n));
}

// n / d rounded half away from zero; d > 0.
int128 DividiArrotondando(int128 n, int128 d) {
  int128 q = n / d;
  int128 r = n % d;
  if (r < 0) r = -r;
  if (2 * r >= d) q += (n < 0) ? -1 : 1;
  return q;
}

[[noreturn]] void NullNonAmmesso() {
  throw Errore("Tipo non corrispondente: uso non valido di Null");
}

[[noreturn]] void NonNumero(const std::string& testo) {
  throw Errore("Tipo non corrispondente: '" + testo + "' non è un numero");
}

// Text of a double as the engine of origin writes it: up to 15 significant digits, no trailing
// zeros, '.' as separator.
std::string TestoDoppio(double x) {
  if (std::isnan(x)) return "NaN";
  if (std::isinf(x)) return x < 0 ? "-Inf" : "Inf";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", x);
  std::string s(buf);
  auto e = s.find('e');
  if (e != std::string::npos) s[e] = 'E';
  return s;
}

// Date (and time of day, when not midnight) from days since 30/12/1899, the day count of the
// hotel suite's dates.
std::string TestoDataOra(double giorni) {
  const double intera = std::floor(giorni);
  constexpr Giorno kOrigine = std::chrono::year{1899} / 12 / 30;
  std::string s = TestoData(kOrigine + std::chrono::days(static_cast<int64_t>(intera)));
  char buf[64];
  int64_t secondi = std::llround((giorni - intera) * 86400.0);
  if (secondi > 0 && secondi < 86400) {
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", static_cast<int>(secondi / 3600),
                  static_cast<int>(secondi / 60 % 60), static_cast<int>(secondi % 60));
    s += buf;
  }
  return s;
}

}  // namespace

Valuta Valuta::DaDouble(double x) {
  if (!std::isfinite(x)) throw Errore("Overflow: valore non finito convertito in Currency");
  if (x == 0) return Valuta(0);
  // Below 1e9 the 15-digit decimal value lies within 5e-7 of x, so x * 10000 is within 0.01 of
  // it in ten-thousandths: unless that falls near a half, both round to the same count.
  double assoluto = std::fabs(x);
  if (assoluto < 1e9) {
    double y = assoluto * 10000.0;
    double intera = std::floor(y);
    double resto = y - intera;
    if (std::fabs(resto - 0.5) > 0.01) {
      int64_t n = static_cast<int64_t>(intera) + (resto > 0.5 ? 1 : 0);
      return Valuta(x < 0 ? -n : n);
    }
  }
  // 15 significant digits: d.dddddddddddddde±XX
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.14e", x);
  const char* p = buf;
  bool negativo = false;
  if (*p == '-') {
    negativo = true;
    ++p;
  }
  int64_t mantissa = *p++ - '0';
  ++p;  // '.'
  for (int i = 0; i < 14; ++i) mantissa = mantissa * 10 + (*p++ - '0');
  ++p;  // 'e'
  int esponente = std::atoi(p);
  // value = mantissa * 10^(esponente - 14); ten-thousandths = mantissa * 10^(esponente - 10)
  int scala = esponente - 10;
  int128 n;
  if (scala >= 0) {
    if (scala > 8) throw Errore("Overflow: importo fuori dai limiti del tipo Currency");
    n = static_cast<int128>(mantissa) * kPotenze10[scala];
  } else if (-scala > 15) {
    n = 0;
  } else {
    n = DividiArrotondando(mantissa, kPotenze10[-scala]);
  }
  return ValutaDa128(negativo ? -n : n);
}

Valuta Valuta::DaTesto(std::string_view testo) {
  std::string_view t = SenzaSpazi(testo);
  size_t i = 0;
  bool negativo = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negativo = t[i++] == '-';
  int128 intera = 0;
  int cifre = 0;
  bool troppo = false;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++cifre) {
    if (!troppo) intera = intera * 10 + (t[i] - '0');
    if (intera > static_cast<int128>(1) << 80) troppo = true;
  }
  int64_t frazione = 0;
  int cifre_frazione = 0;
  bool arrotonda = false;
  if (i < t.size() && t[i] == '.') {
    ++i;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++cifre) {
      if (cifre_frazione < 4) {
        frazione = frazione * 10 + (t[i] - '0');
        ++cifre_frazione;
      } else if (cifre_frazione == 4) {
        arrotonda = t[i] >= '5';
        ++cifre_frazione;
      }
    }
  }
  if (cifre == 0) NonNumero(std::string(testo));
  if (i < t.size()) {
    // An exponent: the value goes through the double reading.
    if ((t[i] == 'e' || t[i] == 'E')) {
      double x;
      if (!numeri::LeggiNumero(t, x)) NonNumero(std::string(testo));
      return DaDouble(x);
    }
    NonNumero(std::string(testo));
  }
  if (troppo) throw Errore("Overflow: importo fuori dai limiti del tipo Currency");
  for (int k = std::min(cifre_frazione, 4); k < 4; ++k) frazione *= 10;
  int128 n = intera * 10000 + frazione + (arrotonda ? 1 : 0);
  return ValutaDa128(negativo ? -n : n);
}

Valuta Valuta::ArrotondaCentesimi() const { return ValutaDa128(DividiArrotondando(n_, 100) * 100); }

std::string Valuta::Testo(int decimali) const {
  if (decimali < 0) decimali = 0;
  if (decimali > 4) decimali = 4;
  int128 q = DividiArrotondando(n_, kPotenze10[4 - decimali]);
  bool negativo = q < 0;
  if (negativo) q = -q;
  int128 intera = q / kPotenze10[decimali];
  int64_t frazione = static_cast<int64_t>(q % kPotenze10[decimali]);
  std::string cifre;
  do {
    cifre.insert(cifre.begin(), static_cast<char>('0' + static_cast<int>(intera % 10)));
    intera /= 10;
  } while (intera > 0);
  std::string s = negativo ? "-" + cifre : cifre;
  if (decimali > 0) {
    std::string f = std::to_string(frazione);
    s += '.';
    s.append(decimali - f.size(), '0');
    s += f;
  }
  return s;
}

Valuta Valuta::operator+(Valuta altro) const {
  int64_t r;
  if (__builtin_add_overflow(n_, altro.n_, &r)) {
    throw Errore("Overflow: importo fuori dai limiti del tipo Currency");
  }
  return Valuta(r);
}

Valuta Valuta::operator-(Valuta altro) const {
  int64_t r;
  if (__builtin_sub_overflow(n_, altro.n_, &r)) {
    throw Errore("Overflow: importo fuori dai limiti del tipo Currency");
  }
  return Valuta(r);
}

Valuta Valuta::DivisoPer(int64_t divisore) const {
  if (divisore == 0) throw Errore("Divisione per zero");
  int128 n = n_, d = divisore;
  if (d < 0) {
    n = -n;
    d = -d;
  }
  return ValutaDa128(DividiArrotondando(n, d));
}

bool Valore::IsNumero() const {
  switch (Tipo()) {
    case TipoValore::kIntero:
    case TipoValore::kLungo:
    case TipoValore::kDoppio:
    case TipoValore::kValuta:
    case TipoValore::kBooleano:
      return true;
    default:
      return false;
  }
}

std::string Valore::Testo() const {
  switch (Tipo()) {
    case TipoValore::kNull:
      NullNonAmmesso();
    case TipoValore::kTesto:
      return std::get<std::string>(v_);
    case TipoValore::kIntero:
      return std::to_string(std::get<int16_t>(v_));
    case TipoValore::kLungo:
      return std::to_string(std::get<int32_t>(v_));
    case TipoValore::kDoppio:
      return TestoDoppio(std::get<double>(v_));
    case TipoValore::kValuta: {
      std::string s = std::get<Valuta>(v_).Testo(4);
      while (s.back() == '0') s.pop_back();
      if (s.back() == '.') s.pop_back();
      return s;
    }
    case TipoValore::kBooleano:
      return std::get<bool>(v_) ? "Vero" : "Falso";
    case TipoValore::kData:
      return TestoDataOra(std::get<DataOra>(v_).giorni);
  }
  return {};
}

double Valore::Numero() const {
  switch (Tipo()) {
    case TipoValore::kNull:
      NullNonAmmesso();
    case TipoValore::kTesto: {
      double x;
      if (!numeri::LeggiNumero(std::get<std::string>(v_), x)) NonNumero(std::get<std::string>(v_));
      return x;
    }
    case TipoValore::kIntero:
      return std::get<int16_t>(v_);
    case TipoValore::kLungo:
      return std::get<int32_t>(v_);
    case TipoValore::kDoppio:
      return std::get<double>(v_);
    case TipoValore::kValuta:
      return std::get<Valuta>(v_).ComeDouble();
    case TipoValore::kBooleano:
      return std::get<bool>(v_) ? -1 : 0;
    case TipoValore::kData:
      return std::get<DataOra>(v_).giorni;
  }
  return 0;
}

int64_t Valore::Intero() const {
  switch (Tipo()) {
    case TipoValore::kIntero:
      return std::get<int16_t>(v_);
    case TipoValore::kLungo:
      return std::get<int32_t>(v_);
    case TipoValore::kBooleano:
      return std::get<bool>(v_) ? -1 : 0;
    case TipoValore::kValuta: {
      // Half to even on the exact ten-thousandths.
      int64_t n = std::get<Valuta>(v_).Decimillesimi();
      int64_t q = n / 10000, r = n % 10000;
      int64_t ar = r < 0 ? -r : r;
      if (ar > 5000 || (ar == 5000 && (q % 2 != 0))) q += n < 0 ? -1 : 1;
      return q;
    }
    default: {
      double x = Numero();
      double r = std::nearbyint(x);
      if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18)) {
        throw Errore("Overflow: " + TestoDoppio(x) + " non è rappresentabile come intero");
      }
      return static_cast<int64_t>(r);
    }
  }
}

Valuta Valore::ComeValuta() const {
  switch (Tipo()) {
    case TipoValore::kNull:
      NullNonAmmesso();
    case TipoValore::kValuta:
      return std::get<Valuta>(v_);
    case TipoValore::kIntero:
    case TipoValore::kLungo:
    case TipoValore::kBooleano:
      return Valuta::DaDecimillesimi(Intero() * 10000);
    case TipoValore::kTesto:
      return Valuta::DaTesto(std::get<std::string>(v_));
    default:
      return Valuta::DaDouble(Numero());
  }
}

}  // namespace vendrix
