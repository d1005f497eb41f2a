#include "reports/cartella_lavoro.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>

#include "comune/testo.h"

namespace vendrix::excel {

namespace {

[[noreturn]] void TipoNonCorrispondente(const ValoreCella& v) {
  throw Errore("Tipo non corrispondente: la cella contiene " + Descrivi(v));
}

// A text in plain decimal form read as the number it shows, with the format that shows it the
// same way; nullopt when the text is not such a number and must stay a text.
struct NumeroLetto {
  double valore;
  std::string formato;
};

std::optional<NumeroLetto> LeggiNumero(std::string_view t) {
  size_t i = 0;
  bool negativo = false;
  if (i < t.size() && t[i] == '-') {
    negativo = true;
    ++i;
  }
  const size_t inizio_intera = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  const size_t cifre_intere = i - inizio_intera;
  if (cifre_intere == 0) return std::nullopt;
  // "007" would not show as written once a number: it stays a text.
  if (cifre_intere > 1 && t[inizio_intera] == '0') return std::nullopt;
  size_t decimali = 0;
  if (i < t.size() && t[i] == '.') {
    ++i;
    const size_t inizio_decimali = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    decimali = i - inizio_decimali;
    if (decimali == 0) return std::nullopt;
  }
  bool percentuale = false;
  if (i < t.size()) {
    if (t[i] == ' ') ++i;
    if (i + 1 != t.size() || t[i] != '%') return std::nullopt;
    percentuale = true;
  }
  // Only numbers a double holds exactly as decimal digits: at most 15 of them.
  if (cifre_intere + decimali > 15) return std::nullopt;
  int64_t mantissa = 0;
  for (char c : t) {
    if (c >= '0' && c <= '9') mantissa = mantissa * 10 + (c - '0');
    if (c == '%') break;
  }
  // One division of two exact values: the double nearest to the decimal number.
  double scala = std::pow(10.0, static_cast<double>(decimali + (percentuale ? 2 : 0)));
  double valore = mantissa == 0 ? 0.0 : static_cast<double>(mantissa) / scala;
  if (negativo) valore = -valore;
  std::string formato;
  if (percentuale) {
    formato = kFormatoPercentuale;
  } else {
    formato = "0";
    if (decimali > 0) formato += "." + std::string(decimali, '0');
  }
  return NumeroLetto{valore, formato};
}

int LeggiColonna(std::string_view lettere) {
  int64_t colonna = 0;
  for (char c : lettere) {
    const char m = Maiuscola(c);
    colonna = colonna * 26 + (m - 'A' + 1);
    if (colonna > kMassimoColonne) return 0;
  }
  return static_cast<int>(colonna);
}

// Height of one line of text at the default font, in points, and the margin a column keeps
// around its widest value, in characters.
constexpr double kPuntiRiga = 15;
constexpr double kMargine = 1.5;

// Width of a text in characters of the default font (the width of its digit 0), from the
// widths of the font's glyphs, rounded up a little: digits 1, most lower-case letters 0.9,
// capitals 1.25.
double LarghezzaTesto(std::string_view testo, bool grassetto) {
  double larghezza = 0;
  for (size_t i = 0; i < testo.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(testo[i]);
    if ((c & 0xC0) == 0x80) continue;  // continues a UTF-8 sequence
    if (c >= '0' && c <= '9') {
      larghezza += 1;
    } else if (c == '.' || c == ',' || c == ' ' || c == ':' || c == ';' || c == '\'' || c == 'i' ||
               c == 'l' || c == 'j' || c == '|' || c == '!') {
      larghezza += 0.5;
    } else if (c == 'f' || c == 't' || c == 'r' || c == '(' || c == ')' || c == '-' || c == '/') {
      larghezza += 0.7;
    } else if (c == 'm' || c == 'w' || c == 'M' || c == 'W' || c == '%' || c == '@') {
      larghezza += 1.6;
    } else if (c >= 'A' && c <= 'Z') {
      larghezza += 1.25;
    } else if (c >= 0x80) {
      larghezza += 1.1;  // accented letters, the euro sign
    } else {
      larghezza += 0.95;
    }
  }
  // Never less than one character a character: a font narrower than the estimate is no risk.
  double caratteri = 0;
  for (unsigned char c : testo) caratteri += (c & 0xC0) != 0x80 ? 1 : 0;
  larghezza = std::max(larghezza, caratteri);
  return grassetto ? larghezza * 1.1 : larghezza;
}

// Width a text wrapped at its spaces needs so that it takes at most `righe` lines.
double LarghezzaACapo(const std::string& testo, int righe, bool grassetto) {
  std::vector<std::string> parole;
  size_t inizio = 0;
  while (inizio <= testo.size()) {
    size_t spazio = testo.find(' ', inizio);
    if (spazio == std::string::npos) spazio = testo.size();
    if (spazio > inizio) parole.push_back(testo.substr(inizio, spazio - inizio));
    inizio = spazio + 1;
  }
  const double intera = LarghezzaTesto(testo, grassetto);
  double larghezza = 0;
  for (const std::string& p : parole) larghezza = std::max(larghezza, LarghezzaTesto(p, grassetto));
  for (; larghezza < intera; larghezza += 0.5) {
    int usate = 1;
    std::string riga;
    for (const std::string& p : parole) {
      std::string con = riga.empty() ? p : riga + " " + p;
      if (!riga.empty() && LarghezzaTesto(con, grassetto) > larghezza) {
        ++usate;
        riga = p;
      } else {
        riga = con;
      }
    }
    if (usate <= righe) return larghezza;
  }
  return intera;
}

// Digits of a whole number with a ',' between thousands when `migliaia`.
std::string Cifre(const std::string& intera, bool migliaia) {
  if (!migliaia) return intera;
  std::string esito;
  for (size_t i = 0; i < intera.size(); ++i) {
    if (i > 0 && (intera.size() - i) % 3 == 0) esito += ',';
    esito += intera[i];
  }
  return esito;
}

// What a section of a number format shows around the number: quoted texts, a currency in
// brackets ("[$€-410]" shows its symbol), '%' and any other character as it stands.
std::string Letterale(std::string_view parte) {
  std::string esito;
  for (size_t i = 0; i < parte.size(); ++i) {
    if (parte[i] == '"') {
      const size_t chiusa = parte.find('"', i + 1);
      esito += parte.substr(i + 1, chiusa == std::string_view::npos ? chiusa : chiusa - i - 1);
      if (chiusa == std::string_view::npos) break;
      i = chiusa;
    } else if (parte.substr(i, 2) == "[$") {
      const size_t trattino = parte.find_first_of("-]", i);
      esito += parte.substr(i + 2, trattino - i - 2);
      i = parte.find(']', i);
      if (i == std::string_view::npos) break;
    } else {
      esito += parte[i];
    }
  }
  return esito;
}

// A date serial (days since 30/12/1899) as a date format of "dd", "mm", "yyyy" and separators
// shows it.
std::string TestoData(double seriale, const std::string& formato) {
  using namespace std::chrono;
  const year_month_day giorno(sys_days(year(1899) / December / 30) +
                              days(static_cast<int64_t>(std::floor(seriale))));
  char testo[16];
  std::string esito;
  for (size_t i = 0; i < formato.size();) {
    if (formato.compare(i, 4, "yyyy") == 0) {
      std::snprintf(testo, sizeof testo, "%04d", static_cast<int>(giorno.year()));
      i += 4;
    } else if (formato.compare(i, 2, "mm") == 0) {
      std::snprintf(testo, sizeof testo, "%02u", static_cast<unsigned>(giorno.month()));
      i += 2;
    } else if (formato.compare(i, 2, "dd") == 0) {
      std::snprintf(testo, sizeof testo, "%02u", static_cast<unsigned>(giorno.day()));
      i += 2;
    } else {
      testo[0] = formato[i] == '\\' && i + 1 < formato.size() ? formato[++i] : formato[i];
      testo[1] = '\0';
      ++i;
    }
    esito += testo;
  }
  return esito;
}

// A value as a number format shows it: the formats the reports use ("0", "0.00", "0.00%",
// "#,##0.00" with a currency suffix, a text in quotes after the number, a sign before it, one to
// three sections for positive, negative and zero numbers; text, general).
std::string TestoNelFormato(const ValoreCella& v, const std::string& formato) {
  if (v.Vuota()) return "";
  if (v.Tipo() == TipoCella::kTesto) return v.Testo();
  double x = v.Numero();
  char testo[64];
  if (formato.find("yy") != std::string::npos) return TestoData(x, formato);
  if (formato.empty() || formato == kFormatoTesto) {
    std::snprintf(testo, sizeof testo, "%.10g", x);
    return testo;
  }
  std::vector<std::string_view> sezioni;
  for (size_t da = 0;;) {
    const size_t a = formato.find(';', da);
    sezioni.push_back(std::string_view(formato).substr(da, a == std::string::npos ? a : a - da));
    if (a == std::string::npos) break;
    da = a + 1;
  }
  // A negative number shown by a section of its own takes its sign from that section.
  std::string_view sezione = sezioni[0];
  bool segno_proprio = false;
  if (x < 0 && sezioni.size() > 1) {
    sezione = sezioni[1];
    segno_proprio = true;
  } else if (x == 0 && sezioni.size() > 2) {
    sezione = sezioni[2];
  }
  const size_t inizio = sezione.find_first_of("#0");
  if (inizio == std::string_view::npos) return Letterale(sezione);
  size_t fine = sezione.find_last_of("#0");
  if (fine + 1 < sezione.size() && sezione[fine + 1] == '.') ++fine;
  const std::string_view numero_formato = sezione.substr(inizio, fine + 1 - inizio);
  const bool percento = sezione.find('%') != std::string_view::npos;
  const bool migliaia = numero_formato.find(',') != std::string_view::npos;
  size_t decimali = 0;
  if (size_t punto = numero_formato.find('.'); punto != std::string_view::npos) {
    while (punto + 1 + decimali < numero_formato.size() &&
           numero_formato[punto + 1 + decimali] == '0') {
      ++decimali;
    }
  }
  if (percento) x *= 100;
  std::snprintf(testo, sizeof testo, "%.*f", static_cast<int>(decimali), std::fabs(x));
  std::string numero = testo;
  const size_t punto = numero.find('.');
  std::string esito = Letterale(sezione.substr(0, inizio));
  if (!segno_proprio && x < 0 && numero.find_first_not_of("0.") != std::string::npos) {
    esito += "-";
  }
  esito += Cifre(numero.substr(0, punto), migliaia);
  if (punto != std::string::npos) esito += numero.substr(punto);
  return esito + Letterale(sezione.substr(fine + 1));
}

void ControllaCella(int riga, int colonna) {
  if (riga < 1 || riga > kMassimoRighe || colonna < 1 || colonna > kMassimoColonne) {
    throw Errore("Cella fuori dal foglio: riga " + std::to_string(riga) + ", colonna " +
                 std::to_string(colonna));
  }
}

}  // namespace

ValoreCella ValoreCella::DaCampo(const Valore& valore) {
  switch (valore.Tipo()) {
    case TipoValore::kNull:
      return ValoreCella();
    case TipoValore::kTesto:
      return ValoreCella(valore.ComeTesto());
    case TipoValore::kIntero:
    case TipoValore::kLungo:
    case TipoValore::kBooleano:
      return ValoreCella(valore.Intero());
    case TipoValore::kValuta:
      return ValoreCella(valore.ComeValuta());
    case TipoValore::kDoppio:
    case TipoValore::kData:
      return ValoreCella(valore.Numero());
  }
  return ValoreCella();
}

const std::string& ValoreCella::Testo() const {
  if (Tipo() != TipoCella::kTesto) TipoNonCorrispondente(*this);
  return std::get<std::string>(v_);
}

int64_t ValoreCella::Intero() const {
  if (Tipo() != TipoCella::kIntero) TipoNonCorrispondente(*this);
  return std::get<int64_t>(v_);
}

double ValoreCella::Numero() const {
  if (const auto* c = std::get_if<Valuta>(&v_)) return c->ComeDouble();
  if (const auto* n = std::get_if<int64_t>(&v_)) return static_cast<double>(*n);
  if (const auto* x = std::get_if<double>(&v_)) return *x;
  if (Vuota()) return 0;
  TipoNonCorrispondente(*this);
}

Valuta ValoreCella::ComeValuta() const {
  if (const auto* c = std::get_if<Valuta>(&v_)) return *c;
  if (const auto* n = std::get_if<int64_t>(&v_)) {
    int64_t decimillesimi = 0;
    if (__builtin_mul_overflow(*n, int64_t{10000}, &decimillesimi)) {
      throw Errore("Overflow: importo " + std::to_string(*n) + " troppo grande");
    }
    return Valuta::DaDecimillesimi(decimillesimi);
  }
  // Numero throws for a text.
  return Vuota() ? Valuta() : Valuta::DaDouble(Numero());
}

int64_t ValoreCella::ComeIntero() const {
  if (const auto* n = std::get_if<int64_t>(&v_)) return *n;
  const double x = Numero();  // 0 for an empty cell; throws for a text
  if (!(std::fabs(x) < 9.0e18)) throw Errore("Overflow: numero " + Descrivi(*this));
  return std::llround(x);
}

ValoreCella operator+(const ValoreCella& a, const ValoreCella& b) {
  if (a.Tipo() == TipoCella::kTesto) TipoNonCorrispondente(a);
  if (b.Tipo() == TipoCella::kTesto) TipoNonCorrispondente(b);
  if (a.Vuota()) return b;
  if (b.Vuota()) return a;
  if (a.Tipo() == TipoCella::kValuta || b.Tipo() == TipoCella::kValuta) {
    int64_t somma = 0;
    if (__builtin_add_overflow(a.ComeValuta().Decimillesimi(), b.ComeValuta().Decimillesimi(),
                               &somma)) {
      throw Errore("Overflow nella somma di " + Descrivi(a) + " e " + Descrivi(b));
    }
    return ValoreCella(Valuta::DaDecimillesimi(somma));
  }
  if (a.Tipo() == TipoCella::kIntero && b.Tipo() == TipoCella::kIntero) {
    int64_t somma = 0;
    if (__builtin_add_overflow(a.Intero(), b.Intero(), &somma)) {
      throw Errore("Overflow nella somma di " + Descrivi(a) + " e " + Descrivi(b));
    }
    return ValoreCella(somma);
  }
  return ValoreCella(a.Numero() + b.Numero());
}

std::string Descrivi(const ValoreCella& v) {
  switch (v.Tipo()) {
    case TipoCella::kVuota:
      return "(vuota)";
    case TipoCella::kTesto:
      return "testo \"" + v.Testo() + "\"";
    case TipoCella::kIntero:
      return "intero " + std::to_string(v.Intero());
    case TipoCella::kNumero: {
      char testo[40];
      std::snprintf(testo, sizeof testo, "%.15g", v.Numero());
      return std::string("numero ") + testo;
    }
    case TipoCella::kValuta:
      return "valuta " + v.ComeValuta().Testo(4);
  }
  return "?";
}

ValoreCella RiferimentoCella::Value() const {
  const Cella* cella = foglio_->Trova(riga_, colonna_);
  return cella == nullptr ? ValoreCella() : cella->valore;
}

void RiferimentoCella::SetValue(const ValoreCella& valore) {
  Cella& cella = foglio_->Crea(riga_, colonna_);
  if (!foglio_->formule_.empty()) foglio_->formule_.erase({riga_, colonna_});
  const FormatoCella& formato = foglio_->formati_[cella.formato];
  const bool generale = formato.numero.empty();
  auto con_numero = [&](const char* numero) {
    FormatoCella nuovo = foglio_->formati_[cella.formato];
    nuovo.numero = numero;
    cella.formato = foglio_->IndiceFormato(nuovo);
  };
  if (valore.Tipo() == TipoCella::kTesto && formato.numero != kFormatoTesto) {
    if (auto numero = LeggiNumero(valore.Testo())) {
      cella.valore = ValoreCella(numero->valore);
      if (generale) con_numero(numero->formato.c_str());
      return;
    }
  }
  if (valore.Tipo() == TipoCella::kValuta && generale) con_numero(kFormatoValuta);
  cella.valore = valore;
}

std::string RiferimentoCella::NumberFormat() const {
  const Cella* cella = foglio_->Trova(riga_, colonna_);
  return foglio_->formati_[cella == nullptr ? 0 : cella->formato].numero;
}

void RiferimentoCella::SetFormula(const std::string& formula, const ValoreCella& risultato) {
  if (formula.empty() || risultato.Tipo() == TipoCella::kTesto) {
    throw Errore("Formula non valida nella cella riga " + std::to_string(riga_) + ", colonna " +
                 std::to_string(colonna_));
  }
  SetValue(risultato);
  foglio_->formule_[{riga_, colonna_}] = formula;
}

std::string RiferimentoCella::Formula() const {
  auto it = foglio_->formule_.find({riga_, colonna_});
  return it == foglio_->formule_.end() ? std::string() : it->second;
}

template <typename Modifica>
void Worksheet::CambiaFormato(int riga1, int colonna1, int riga2, int colonna2, Modifica modifica) {
  // Formatting is by cell, so a whole column or a huge block would be held cell by cell.
  const int64_t celle = int64_t{riga2 - riga1 + 1} * int64_t{colonna2 - colonna1 + 1};
  if (celle > 1000000) {
    throw Errore("Formato su un intervallo troppo grande (" + std::to_string(celle) + " celle)");
  }
  std::map<uint16_t, uint16_t> nuovi;  // old format -> changed format
  for (int r = riga1; r <= riga2; ++r) {
    for (int c = colonna1; c <= colonna2; ++c) {
      Cella& cella = Crea(r, c);
      auto [it, nuovo] = nuovi.try_emplace(cella.formato, 0);
      if (nuovo) {
        FormatoCella formato = formati_[cella.formato];
        modifica(formato);
        it->second = IndiceFormato(formato);
      }
      cella.formato = it->second;
    }
  }
}

void Intervallo::NumberFormat(const std::string& formato) {
  foglio_->CambiaFormato(riga1_, colonna1_, riga2_, colonna2_,
                         [&](FormatoCella& f) { f.numero = formato; });
}

void Intervallo::FontBold() {
  foglio_->CambiaFormato(riga1_, colonna1_, riga2_, colonna2_,
                         [](FormatoCella& f) { f.grassetto = true; });
}

void Intervallo::WrapText() {
  foglio_->CambiaFormato(riga1_, colonna1_, riga2_, colonna2_,
                         [](FormatoCella& f) { f.a_capo = true; });
}

void Intervallo::AllineaADestra() {
  foglio_->CambiaFormato(riga1_, colonna1_, riga2_, colonna2_,
                         [](FormatoCella& f) { f.a_destra = true; });
}

void Intervallo::RowHeight(double punti) {
  if (!(punti >= 0 && punti <= 409)) {
    throw Errore("Altezza di riga non valida: " + std::to_string(punti));
  }
  for (int r = riga1_; r <= riga2_; ++r) foglio_->altezze_righe_[r] = punti;
}

void Intervallo::ColumnWidth(double caratteri) {
  if (!(caratteri >= 0 && caratteri <= 255)) {
    throw Errore("Larghezza di colonna non valida: " + std::to_string(caratteri));
  }
  for (int c = colonna1_; c <= colonna2_; ++c) foglio_->larghezze_colonne_[c] = caratteri;
}

std::pair<int, int> LeggiIndirizzo(std::string_view indirizzo) {
  size_t i = 0;
  while (i < indirizzo.size() && std::isalpha(static_cast<unsigned char>(indirizzo[i]))) ++i;
  const size_t lettere = i;
  int64_t riga = 0;
  while (i < indirizzo.size() && std::isdigit(static_cast<unsigned char>(indirizzo[i])) &&
         riga <= kMassimoRighe) {
    riga = riga * 10 + (indirizzo[i] - '0');
    ++i;
  }
  int colonna = lettere > 0 && lettere <= 3 ? LeggiColonna(indirizzo.substr(0, lettere)) : 0;
  if (i != indirizzo.size() || i == lettere || colonna < 1 || riga < 1 || riga > kMassimoRighe) {
    throw Errore("Indirizzo di cella non valido: \"" + std::string(indirizzo) + "\"");
  }
  return {static_cast<int>(riga), colonna};
}

void Worksheet::SetName(const std::string& nome) {
  // Length in characters, not bytes: count the bytes that do not continue a UTF-8 sequence.
  size_t caratteri = std::count_if(nome.begin(), nome.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  });
  if (caratteri == 0 || caratteri > 31 || nome.find_first_of("[]:*?/\\") != std::string::npos ||
      nome.front() == '\'' || nome.back() == '\'') {
    throw Errore("Nome di foglio non valido: \"" + nome + "\"");
  }
  nome_ = nome;
}

Cella& Worksheet::Crea(int riga, int colonna) {
  if (righe_.size() < static_cast<size_t>(riga)) righe_.resize(riga);
  std::vector<Cella>& celle = righe_[riga - 1];
  if (celle.size() < static_cast<size_t>(colonna)) celle.resize(colonna);
  return celle[colonna - 1];
}

const Cella* Worksheet::Trova(int riga, int colonna) const {
  if (righe_.size() < static_cast<size_t>(riga)) return nullptr;
  const std::vector<Cella>& celle = righe_[riga - 1];
  if (celle.size() < static_cast<size_t>(colonna)) return nullptr;
  return &celle[colonna - 1];
}

uint16_t Worksheet::IndiceFormato(const FormatoCella& formato) {
  auto it = std::find(formati_.begin(), formati_.end(), formato);
  if (it != formati_.end()) return static_cast<uint16_t>(it - formati_.begin());
  if (formati_.size() > 60000) throw Errore("Troppi formati diversi nel foglio \"" + nome_ + "\"");
  formati_.push_back(formato);
  return static_cast<uint16_t>(formati_.size() - 1);
}

RiferimentoCella Worksheet::Cells(int riga, int colonna) {
  ControllaCella(riga, colonna);
  return RiferimentoCella(this, riga, colonna);
}

Intervallo Worksheet::Range(std::string_view indirizzo) {
  size_t due_punti = indirizzo.find(':');
  if (due_punti == std::string_view::npos) return Range(indirizzo, indirizzo);
  return Range(indirizzo.substr(0, due_punti), indirizzo.substr(due_punti + 1));
}

Intervallo Worksheet::Range(std::string_view prima, std::string_view ultima) {
  auto [r1, c1] = LeggiIndirizzo(prima);
  auto [r2, c2] = LeggiIndirizzo(ultima);
  return Intervallo(this, std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2));
}

void Worksheet::FreezePanes(int riga, int colonna) {
  ControllaCella(riga, colonna);
  riquadri_ = {riga, colonna};
}

void Worksheet::AutoFilter(std::string_view indirizzo) {
  Intervallo r = Range(indirizzo);
  filtro_ =
      IntervalloFoglio{nome_, r.PrimaRiga(), r.PrimaColonna(), r.UltimaRiga(), r.UltimaColonna()};
}

void Worksheet::AggiungiGrafico(Grafico grafico) {
  auto celle = [](const IntervalloFoglio& i) -> int64_t {
    if (i.riga1 != i.riga2 && i.colonna1 != i.colonna2) return -1;
    return int64_t{i.riga2 - i.riga1 + 1} * (i.colonna2 - i.colonna1 + 1);
  };
  bool secondaria = false;
  for (const SerieGrafico& s : grafico.serie) {
    const int64_t n = celle(s.valori);
    if (n <= 0 || n != celle(s.categorie) || (secondaria && !s.asse_secondario)) {
      throw Errore("Grafico \"" + grafico.titolo + "\" non valido: serie \"" + s.nome + "\"");
    }
    secondaria = secondaria || s.asse_secondario;
  }
  if (grafico.serie.empty()) throw Errore("Grafico \"" + grafico.titolo + "\" senza serie");
  ControllaCella(grafico.riga, grafico.colonna);
  grafici_.push_back(std::move(grafico));
}

void Worksheet::AddComment(int riga, int colonna, const std::string& testo) {
  ControllaCella(riga, colonna);
  commenti_[{riga, colonna}] = testo;
}

double Worksheet::LarghezzaColonna(int colonna) const {
  auto it = larghezze_colonne_.find(colonna);
  return it == larghezze_colonne_.end() ? 8.43 : it->second;
}

std::string Worksheet::TestoMostrato(int riga, int colonna) const {
  const Cella* cella = Trova(riga, colonna);
  if (cella == nullptr) return "";
  return TestoNelFormato(cella->valore, formati_[cella->formato].numero);
}

void Worksheet::AllargaColonne(int prima, int ultima) {
  for (int c = prima; c <= ultima; ++c) {
    double necessaria = 0;
    for (size_t i = 0; i < righe_.size(); ++i) {
      const int riga = static_cast<int>(i) + 1;
      if (righe_[i].size() < static_cast<size_t>(c)) continue;
      const Cella& cella = righe_[i][c - 1];
      if (cella.valore.Vuota()) continue;
      const FormatoCella& formato = formati_[cella.formato];
      const std::string testo = TestoNelFormato(cella.valore, formato.numero);
      double larghezza = 0;
      if (formato.a_capo && cella.valore.Tipo() == TipoCella::kTesto) {
        auto altezza = altezze_righe_.find(riga);
        const int righe = altezza == altezze_righe_.end()
                              ? 1
                              : std::max(1, static_cast<int>(altezza->second / kPuntiRiga));
        larghezza = LarghezzaACapo(testo, righe, formato.grassetto);
      } else {
        larghezza = LarghezzaTesto(testo, formato.grassetto);
      }
      necessaria = std::max(necessaria, larghezza);
    }
    if (necessaria == 0) continue;
    // Room for the cell's margins and for fonts a little wider than the estimate.
    necessaria = std::min(255.0, std::ceil(necessaria + kMargine));
    if (necessaria > LarghezzaColonna(c)) larghezze_colonne_[c] = necessaria;
  }
}

Workbook::Workbook() { fogli_.push_back(std::make_unique<Worksheet>("Foglio1")); }

Worksheet& Workbook::Sheets(int indice) {
  if (indice < 1 || indice > Count()) {
    throw Errore("Indice non compreso nell'intervallo: la cartella ha " + std::to_string(Count()) +
                 " fogli, non il " + std::to_string(indice));
  }
  return *fogli_[indice - 1];
}

Worksheet& Workbook::AggiungiFoglio(const std::string& nome) {
  for (const auto& f : fogli_) {
    if (UgualeNoCase(f->Name(), nome)) {
      throw Errore("La cartella ha già un foglio \"" + nome + "\"");
    }
  }
  auto foglio = std::make_unique<Worksheet>("Foglio");
  foglio->SetName(nome);
  fogli_.push_back(std::move(foglio));
  return *fogli_.back();
}

void Workbook::Activate(int indice) {
  Sheets(indice);  // throws outside the workbook
  attivo_ = indice;
}

void Workbook::Close() {
  if (elenco_ != nullptr) elenco_->Rimuovi(this);  // destroys *this
}

Workbook& Workbooks::Add() {
  cartelle_.push_back(std::make_unique<Workbook>());
  cartelle_.back()->elenco_ = this;
  return *cartelle_.back();
}

void Workbooks::Rimuovi(const Workbook* cartella) {
  std::erase_if(cartelle_, [cartella](const auto& c) { return c.get() == cartella; });
}

void Application::Quit() {
  while (cartelle_.Count() > 0) cartelle_.Rimuovi(cartelle_.cartelle_.back().get());
}

}  // namespace vendrix::excel
