#ifndef VENDRIX_DATA_VALORE_H_
#define VENDRIX_DATA_VALORE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace vendrix {

// Money: exact fixed point with four decimals, held as a 64-bit count of ten-thousandths.
class Valuta {
 public:
  constexpr Valuta() = default;
  static constexpr Valuta DaDecimillesimi(int64_t n) { return Valuta(n); }
  // Rounds x to four decimals, half away from zero, on the decimal value x has when written with
  // 15 significant digits (so 0.1 + 0.2 gives exactly 0.3). Throws Errore on overflow or NaN.
  static Valuta DaDouble(double x);
  // Reads a decimal text such as "-12.345"; throws Errore when the text is not a number.
  static Valuta DaTesto(std::string_view testo);

  constexpr int64_t Decimillesimi() const { return n_; }
  double ComeDouble() const { return static_cast<double>(n_) / 10000.0; }
  // The amount rounded to two decimals, half away from zero (exact, no binary rounding).
  Valuta ArrotondaCentesimi() const;
  // Plain decimal text with the given number of decimals (0 to 4), rounded half away from zero,
  // with '.' as separator and no grouping: "1234.50".
  std::string Testo(int decimali = 4) const;

  // Exact arithmetic; overflow of the 64-bit count throws Errore.
  Valuta operator+(Valuta altro) const;
  Valuta operator-(Valuta altro) const;
  Valuta& operator+=(Valuta altro) { return *this = *this + altro; }
  // Exact quotient by a whole count, rounded half away from zero to four decimals.
  Valuta DivisoPer(int64_t divisore) const;

  friend constexpr bool operator==(Valuta a, Valuta b) = default;
  friend constexpr auto operator<=>(Valuta a, Valuta b) = default;

 private:
  constexpr explicit Valuta(int64_t n) : n_(n) {}
  int64_t n_ = 0;
};

// A date and time as the hotel suite's Access files keep it: days since 30/12/1899, with the time
// of day as the fraction. The runs never compute with it; it is carried so that it is not lost.
struct DataOra {
  double giorni = 0;
  friend bool operator==(const DataOra&, const DataOra&) = default;
};

enum class TipoValore { kNull, kTesto, kIntero, kLungo, kDoppio, kValuta, kBooleano, kData };

// A field value: Null, text (UTF-8), 16-bit integer, 32-bit long, double, Currency, boolean or
// date.
class Valore {
 public:
  Valore() = default;  // Null
  Valore(std::string testo) : v_(std::move(testo)) {}
  Valore(const char* testo) : v_(std::string(testo)) {}
  Valore(int16_t n) : v_(n) {}
  Valore(int32_t n) : v_(n) {}
  Valore(double x) : v_(x) {}
  Valore(Valuta c) : v_(c) {}
  Valore(bool b) : v_(b) {}
  Valore(DataOra d) : v_(d) {}

  TipoValore Tipo() const { return static_cast<TipoValore>(v_.index()); }
  bool IsNull() const { return Tipo() == TipoValore::kNull; }
  bool IsNumero() const;  // integer, long, double, currency or boolean

  // Conversions as the engine of origin makes them; each throws Errore ("Tipo non corrispondente")
  // when the value cannot be converted (a text that is not a number, or Null where a value is due).
  std::string Testo() const;  // numbers in plain decimal form, Currency without trailing zeros
  double Numero() const;      // numbers as double; a numeric text is read as a number
  int64_t Intero() const;     // rounded half to even, as a conversion to an integer does
  Valuta ComeValuta() const;  // Currency, or a number rounded to four decimals

  // The stored alternatives, for callers that know the kind.
  const std::string& ComeTesto() const { return std::get<std::string>(v_); }

  friend bool operator==(const Valore&, const Valore&) = default;

 private:
  std::variant<std::monostate, std::string, int16_t, int32_t, double, Valuta, bool, DataOra> v_;
};

}  // namespace vendrix

#endif  // VENDRIX_DATA_VALORE_H_
