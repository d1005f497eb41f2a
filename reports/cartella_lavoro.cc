#include "reports/cartella_lavoro.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>

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
    char m = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    colonna = colonna * 26 + (m - 'A' + 1);
    if (colonna > kMassimoColonne) return 0;
  }
  return static_cast<int>(colonna);
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
  switch (Tipo()) {
    case TipoCella::kVuota:
      return 0;
    case TipoCella::kIntero:
      return static_cast<double>(std::get<int64_t>(v_));
    case TipoCella::kNumero:
      return std::get<double>(v_);
    case TipoCella::kValuta:
      return std::get<Valuta>(v_).ComeDouble();
    case TipoCella::kTesto:
      break;
  }
  TipoNonCorrispondente(*this);
}

Valuta ValoreCella::ComeValuta() const {
  switch (Tipo()) {
    case TipoCella::kVuota:
      return Valuta();
    case TipoCella::kIntero: {
      int64_t n = std::get<int64_t>(v_), decimillesimi = 0;
      if (__builtin_mul_overflow(n, int64_t{10000}, &decimillesimi)) {
        throw Errore("Overflow: importo " + std::to_string(n) + " troppo grande");
      }
      return Valuta::DaDecimillesimi(decimillesimi);
    }
    case TipoCella::kNumero:
      return Valuta::DaDouble(std::get<double>(v_));
    case TipoCella::kValuta:
      return std::get<Valuta>(v_);
    case TipoCella::kTesto:
      break;
  }
  TipoNonCorrispondente(*this);
}

int64_t ValoreCella::ComeIntero() const {
  switch (Tipo()) {
    case TipoCella::kVuota:
      return 0;
    case TipoCella::kIntero:
      return std::get<int64_t>(v_);
    case TipoCella::kNumero:
    case TipoCella::kValuta: {
      double x = Numero();
      if (!(std::fabs(x) < 9.0e18)) throw Errore("Overflow: numero " + Descrivi(*this));
      return std::llround(x);
    }
    case TipoCella::kTesto:
      break;
  }
  TipoNonCorrispondente(*this);
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
  const bool generale = cella.formato == 0;
  if (valore.Tipo() == TipoCella::kTesto && foglio_->formati_[cella.formato] != kFormatoTesto) {
    if (auto numero = LeggiNumero(valore.Testo())) {
      cella.valore = ValoreCella(numero->valore);
      if (generale) cella.formato = foglio_->IndiceFormato(numero->formato);
      return;
    }
  }
  if (valore.Tipo() == TipoCella::kValuta && generale) {
    cella.formato = foglio_->IndiceFormato(kFormatoValuta);
  }
  cella.valore = valore;
}

std::string RiferimentoCella::NumberFormat() const {
  const Cella* cella = foglio_->Trova(riga_, colonna_);
  return foglio_->formati_[cella == nullptr ? 0 : cella->formato];
}

void Intervallo::NumberFormat(const std::string& formato) {
  // Formatting is by cell, so a whole column or a huge block would be held cell by cell.
  const int64_t celle = int64_t{riga2_ - riga1_ + 1} * int64_t{colonna2_ - colonna1_ + 1};
  if (celle > 1000000) {
    throw Errore("Formato su un intervallo troppo grande (" + std::to_string(celle) + " celle)");
  }
  const uint16_t indice = foglio_->IndiceFormato(formato);
  for (int r = riga1_; r <= riga2_; ++r) {
    for (int c = colonna1_; c <= colonna2_; ++c) foglio_->Crea(r, c).formato = indice;
  }
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

uint16_t Worksheet::IndiceFormato(const std::string& formato) {
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

Workbook::Workbook() : foglio_("Foglio1") {}

Worksheet& Workbook::Sheets(int indice) {
  if (indice != 1) {
    throw Errore("Indice non compreso nell'intervallo: la cartella ha un solo foglio, non il " +
                 std::to_string(indice));
  }
  return foglio_;
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
