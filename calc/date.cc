#include "calc/date.h"

#include "calc/giorni.h"
#include "data/errore.h"

namespace vendrix {

namespace {

// Characters `inizio` (1-based) to inizio+lunghezza-1 of a text, cut at its end.
std::string_view Mid(std::string_view testo, size_t inizio, size_t lunghezza) {
  if (inizio - 1 >= testo.size()) return {};
  return testo.substr(inizio - 1, lunghezza);
}

// Reads `n` decimal digits starting at `pos`; false when any of them is not a digit.
bool Cifre(std::string_view testo, size_t pos, size_t n, int& valore) {
  valore = 0;
  if (pos + n > testo.size()) return false;
  for (size_t i = pos; i < pos + n; ++i) {
    char c = testo[i];
    if (c < '0' || c > '9') return false;
    valore = valore * 10 + (c - '0');
  }
  return true;
}

bool AnnoBisestileReale(int anno) { return (anno % 4 == 0 && anno % 100 != 0) || anno % 400 == 0; }

bool DataReale(int anno, int mese, int giorno) {
  static constexpr int kGiorni[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (anno < 1 || mese < 1 || mese > 12 || giorno < 1) return false;
  int massimo = kGiorni[mese] + (mese == 2 && AnnoBisestileReale(anno) ? 1 : 0);
  return giorno <= massimo;
}

// Days since 01/01/1970 of a calendar date (proleptic Gregorian).
long DaCivile(int anno, int mese, int giorno) {
  anno -= mese <= 2;
  const long era = (anno >= 0 ? anno : anno - 399) / 400;
  const long yoe = anno - era * 400;
  const long doy = (153 * (mese + (mese > 2 ? -3 : 9)) + 2) / 5 + giorno - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void ACivile(long n, int& anno, int& mese, int& giorno) {
  n += 719468;
  const long era = (n >= 0 ? n : n - 146096) / 146097;
  const long doe = n - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  giorno = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  mese = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  anno = static_cast<int>(yoe + era * 400 + (mese <= 2));
}

[[noreturn]] void DataNonValida(std::string_view data) {
  throw Errore("Data non valida: \"" + std::string(data) +
               "\". Scrivere la data nella forma GG/MM/AAAA.");
}

}  // namespace

std::string DataAMG(std::string_view data) {
  std::string chiave;
  chiave.reserve(8);
  chiave.append(Mid(data, 7, 4));
  chiave.append(Mid(data, 4, 2));
  chiave.append(Mid(data, 1, 2));
  return chiave;
}

std::string DataGMA(std::string_view chiave) {
  std::string data;
  data.reserve(10);
  data.append(Mid(chiave, 7, 2));
  data.push_back('/');
  data.append(Mid(chiave, 5, 2));
  data.push_back('/');
  data.append(Mid(chiave, 1, 4));
  return data;
}

bool NumeroGiornoDaData(std::string_view data, long& numero) {
  int giorno, mese, anno;
  // Characters 3 and 6 are separators and are not examined.
  if (data.size() != 10 || !Cifre(data, 0, 2, giorno) || !Cifre(data, 3, 2, mese) ||
      !Cifre(data, 6, 4, anno) || !DataReale(anno, mese, giorno)) {
    return false;
  }
  numero = DaCivile(anno, mese, giorno);
  return true;
}

bool NumeroGiornoDaChiave(std::string_view chiave, long& numero) {
  int giorno, mese, anno;
  if (chiave.size() != 8 || !Cifre(chiave, 0, 4, anno) || !Cifre(chiave, 4, 2, mese) ||
      !Cifre(chiave, 6, 2, giorno) || !DataReale(anno, mese, giorno)) {
    return false;
  }
  numero = DaCivile(anno, mese, giorno);
  return true;
}

long NumeroGiorno(std::string_view data) {
  long numero = 0;
  if (!NumeroGiornoDaData(data, numero)) DataNonValida(data);
  return numero;
}

std::string ChiaveDaNumeroGiorno(long numero) {
  int anno, mese, giorno;
  ACivile(numero, anno, mese, giorno);
  if (anno < 1 || anno > 9999) {
    throw Errore("Data fuori dall'intervallo degli anni da 0001 a 9999.");
  }
  // Built by hand: this runs for every row a calculation writes.
  std::string testo(8, '0');
  for (int i = 3; i >= 0; --i, anno /= 10) testo[i] = static_cast<char>('0' + anno % 10);
  testo[4] = static_cast<char>('0' + mese / 10);
  testo[5] = static_cast<char>('0' + mese % 10);
  testo[6] = static_cast<char>('0' + giorno / 10);
  testo[7] = static_cast<char>('0' + giorno % 10);
  return testo;
}

std::string GiornoSuccessivo(std::string_view data) {
  return DataGMA(ChiaveDaNumeroGiorno(NumeroGiorno(data) + 1));
}

long DifferenzaGiorni(std::string_view a, std::string_view b) {
  return NumeroGiorno(b) - NumeroGiorno(a);
}

bool ChiaveDataValida(std::string_view chiave) {
  long numero;
  return NumeroGiornoDaChiave(chiave, numero);
}

}  // namespace vendrix
